#pragma once

// The update check without a window: fetching the maker's version file,
// reading it, and comparing its version with the program's.
//
// The version file is UTF-16 little-endian text after a 2-byte mark: the
// latest version ("1.2.0.3"), CR LF, the date of that version, CR LF, and an
// information text of any number of lines.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/stop_event.h"
#include "platform/url.h"

namespace corvale {

inline constexpr std::wstring_view k_version_file_path = L"/corvale/version_a.txt";
// A version file of this many bytes or more is not read.
inline constexpr std::size_t k_version_file_limit = 10240;

struct Update_source {
    Service_type service = Service_type::http;
    std::wstring server;
    std::uint16_t port = 80;
    std::wstring path = std::wstring(k_version_file_path);
};
// The maker's update server.
Update_source default_update_source();
// A URL given instead (http or https); no value when it does not parse.
std::optional<Update_source> update_source_from_url(const std::wstring& url);

struct Version_fetch {
    int status = 0;      // the HTTP status; 0 when no reply came
    std::wstring reply;  // the reply text (after the mark); empty when not read
    std::wstring error;  // what went wrong when no reply came

    // A version file came: the check can tell its outcome.
    bool has_reply() const { return status == 200 && !reply.empty(); }
};
// The whole check (connecting, sending, every read) ends by then: a server
// that sends a byte now and then cannot hold it, nor the window that waits
// for it.
inline constexpr std::chrono::milliseconds k_update_check_deadline{60000};

// GET of the version file with "Accept: */*" and "User-Agent: Corvale/1.0"; a
// reply body is read only with status 200 and when it is shorter than the
// limit. Blocks; every wait ends soon after `stop` is set. A check still
// running after `deadline` fails, with a text that says the server took too
// long.
Version_fetch fetch_version_file(const Update_source& source, const Stop_event& stop,
                                 std::chrono::milliseconds deadline = k_update_check_deadline);

struct Version_file {
    std::wstring latest;                      // the first line; empty when there is none
    std::optional<std::wstring> date;         // the second line, when not empty
    std::optional<std::wstring> information;  // the rest, when not empty
};
// `reply`: the text after the mark. Carriage returns before the first line
// are skipped; the line feed after each carriage return is dropped.
Version_file parse_version_file(std::wstring_view reply);

// The dots removed, then the leading decimal digits (0 without any; the
// largest int when there are too many). "1.2.0.2" is 1202.
int version_number(std::wstring_view dotted);
// Whether `latest` (trimmed of white space) is a larger number than `current`.
bool update_available(std::wstring_view current, std::wstring_view latest);

// The verdict's text id: update_available or no_update.
int update_verdict_message(bool available);

}  // namespace corvale
