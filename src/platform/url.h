#pragma once

// The program's one URL parser. It splits a URL into the parts that an HTTP
// exchange needs: service type, server, object (path with query) and port.
// The parser splits; it neither escapes nor unescapes. The HTTP client gets
// these parts and sends the URL that request_url composes from them.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

// Service types keep the numbers that callers and stored values rely on.
enum class Service_type : std::uint32_t {
    ftp = 1,
    gopher = 2,
    http = 3,
    unknown = 0x1000,
    file = 0x1001,
    https = 0x100B,
};

struct Parsed_url {
    Service_type service = Service_type::unknown;
    std::wstring server;  // the host as written, without user info or port
    std::wstring object;  // path, query and fragment; "/" when the path is empty
    std::uint16_t port = 0;
};

// Text that is not "scheme://host..." (no scheme, no host, a bad port) gives
// no value. Default ports: http 80, https 443, ftp 21, gopher 70; an explicit
// port wins.
std::optional<Parsed_url> parse_url(std::wstring_view text);

// The URL that is sent for `url` (http or https), composed from its parts:
// spaces and bytes beyond ASCII in the object are percent-encoded (by curl's
// URL encoder); existing escapes stay. No value when it cannot be sent (a
// server that is no host name).
std::optional<std::string> request_url(const Parsed_url& url);

// How a link that was typed, pasted or found in a page becomes one the
// program can fetch: kept as it is when it begins with "http://" or
// "https://" (in any case), else with "http://" put in front.
std::wstring usable_link(std::wstring_view link);

}  // namespace corvale
