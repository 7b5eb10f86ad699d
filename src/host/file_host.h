#pragma once

// The file host as the rest of the program sees it: whether a link is one of
// its file links, the API request for it and how its reply reads, the file
// request that follows, the refusal texts, the expired-session page, where a
// web page holds file links, and what a file link's own page says. The
// download worker and the links grabber use only this; a changed host API is
// a change in this folder. One host today: File_host_protocol.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_config.h"
#include "host/link_extraction.h"
#include "host/page_classification.h"
#include "platform/url.h"

namespace corvale {

struct Link_parts {
    std::wstring file_id;
    std::wstring file_name;  // the rest of the path, query included
};

enum class Reply_outcome { direct_link, refused, no_direct_link };

// No wait is longer than one day, whatever the host asks: a download that
// waits for years would hold its place in the queue for good.
inline constexpr int k_longest_wait = 24 * 60 * 60;

struct Api_reply {
    Reply_outcome outcome = Reply_outcome::no_direct_link;
    int wait_seconds = 0;                 // 0: no wait; at most k_longest_wait
    std::int64_t asked_wait_seconds = 0;  // the wait before that cap
    int last_error_id = 0;                // refused: a string-table id, or 0 for host_text
    std::wstring host_text;               // refused with last_error_id 0: the host's own text
    std::wstring file_server;             // direct link only
    std::wstring authorisation;           // direct link only
};

class File_host {
  public:
    virtual ~File_host() = default;

    // The parts of a file link of this host (its path in lower case); none
    // when `link` is not one.
    virtual std::optional<Link_parts> file_link(const Parsed_url& link) const = 0;
    // The API request for a file link that file_link accepted.
    virtual Parsed_url api_request(const Parsed_url& link, const Link_parts& parts) const = 0;
    // Reads the API reply body (bytes read as 8-bit text).
    virtual Api_reply read_api_reply(std::string_view reply) const = 0;
    // The last-error text of a refused reply, in the current language.
    virtual std::wstring refusal_text(const Api_reply& reply) const = 0;
    // The URL of the file request that a direct-link reply allows.
    virtual std::wstring file_request(const Api_reply& reply, const Link_parts& parts) const = 0;
    // Whether the first bytes of a file reply are the host's expired-session
    // page rather than the file.
    virtual bool session_expired(std::string_view start_of_reply) const = 0;

    // The host's file links in a web page or pasted text: see link_extraction.h.
    virtual Extracted_links extract_links(std::wstring& text) const = 0;
    virtual bool extract_links(std::string& bytes,
                               const std::function<void(std::wstring)>& on_link) const = 0;
    // What a file link's own page says: see page_classification.h.
    virtual Page_classification classify_page(std::wstring& page) const = 0;
};

// The file host with these names.
std::unique_ptr<File_host> make_file_host(Host_config config);

}  // namespace corvale
