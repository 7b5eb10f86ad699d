#pragma once

// The rules by which a file link becomes the file host's two HTTP requests,
// and by which the host's first reply is read. Pure functions: no I/O.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/host_config.h"

namespace corvale {

// Host rule then path rule. Lower-cases `host` and `path` in place: the later
// steps of an attempt use the lower-cased path. A path needs "/files/", at
// least three digits, and a '/' after them (the API request needs a name).
bool check_link(const Host_config& config, std::wstring& host, std::wstring& path);

struct Link_parts {
    std::wstring file_id;
    std::wstring file_name;  // the rest of the path, query included
};
// Splits a path that passed check_link.
Link_parts split_link(std::wstring_view path);

std::wstring api_request_object(const Link_parts& link);

std::wstring file_request_url(std::wstring_view file_server, const Link_parts& link,
                              std::wstring_view authorisation);

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

// Classifies the API reply body (bytes read as 8-bit text).
Api_reply classify_api_reply(std::string_view reply);

// The last-error text of a refused reply, in the current language.
std::wstring last_error_text(const Api_reply& reply);

inline constexpr std::size_t k_expired_check_limit = 7168;
// Looks for the expired-session text in the first bytes of a file reply.
bool session_expired(std::string_view buffered);

}  // namespace corvale
