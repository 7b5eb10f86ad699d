#pragma once

// The file host's download interface: the rules by which a file link becomes
// the host's two HTTP requests, and by which the host's first reply is read.
// Pure functions, and File_host_protocol, the File_host that applies them
// with link extraction and page classification. No I/O.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "host/file_host.h"
#include "host/host_config.h"

namespace corvale {

// Host rule then path rule. Lower-cases `host` and `path` in place: the later
// steps of an attempt use the lower-cased path. A path needs "/files/", at
// least three digits, and a '/' after them (the API request needs a name).
bool check_link(const Host_config& config, std::wstring& host, std::wstring& path);

// Splits a path that passed check_link.
Link_parts split_link(std::wstring_view path);

std::wstring api_request_object(const Link_parts& link);

std::wstring file_request_url(std::wstring_view file_server, const Link_parts& link,
                              std::wstring_view authorisation);

// Classifies the API reply body (bytes read as 8-bit text).
Api_reply classify_api_reply(std::string_view reply);

// The last-error text of a refused reply, in the current language.
std::wstring last_error_text(const Api_reply& reply);

inline constexpr std::size_t k_expired_check_limit = 7168;
// Looks for the expired-session text in the first bytes of a file reply.
bool session_expired(std::string_view buffered);

class File_host_protocol : public File_host {
  public:
    explicit File_host_protocol(Host_config config);

    std::optional<Link_parts> file_link(const Parsed_url& link) const override;
    Parsed_url api_request(const Parsed_url& link, const Link_parts& parts) const override;
    Api_reply read_api_reply(std::string_view reply) const override;
    std::wstring refusal_text(const Api_reply& reply) const override;
    std::wstring file_request(const Api_reply& reply, const Link_parts& parts) const override;
    bool session_expired(std::string_view start_of_reply) const override;
    Extracted_links extract_links(std::wstring& text) const override;
    bool extract_links(std::string& bytes,
                       const std::function<void(std::wstring)>& on_link) const override;
    Page_classification classify_page(std::wstring& page) const override;

  private:
    Host_config config_;
    std::wstring marker_;
    std::string marker_bytes_;
};

}  // namespace corvale
