#include "host/file_host_protocol.h"

#include <algorithm>

#include "corvale/text_ids.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// Texts converted from the host's bytes are cut at this many characters.
constexpr std::size_t k_host_text_limit = 1033;
constexpr std::size_t k_wait_field_limit = 9;
constexpr int k_extra_wait = 5;
constexpr int k_default_refusal_wait = 120;  // seconds; not a text id

std::wstring host_text(std::string_view bytes) {
    std::wstring text = decode_ansi(bytes);
    if (text.size() > k_host_text_limit) {
        text.resize(k_host_text_limit);
    }
    return text;
}

// A number of seconds from the host plus the extra five; 0 (no wait) when
// that is not positive. Computed wide so that a huge number cannot overflow.
std::int64_t wait_from(std::string_view digits) {
    const std::int64_t wait = static_cast<std::int64_t>(parse_int(digits)) + k_extra_wait;
    return wait > 0 ? wait : 0;
}

// The wait a reply asks for, and the one the worker counts down.
void set_wait(Api_reply& reply, std::int64_t asked) {
    reply.asked_wait_seconds = asked;
    reply.wait_seconds = static_cast<int>(std::min<std::int64_t>(asked, k_longest_wait));
}

bool host_rule(const Host_config& config, std::wstring_view host) {
    const std::size_t last_dot = host.rfind(L'.');
    if (last_dot == std::wstring_view::npos ||
        host.substr(last_dot) != L"." + lower_az(config.top_level_label)) {
        return false;
    }
    const std::wstring_view before = host.substr(0, last_dot);
    const std::wstring service = lower_az(config.service_label);
    const auto dots = std::count(before.begin(), before.end(), L'.');
    if (dots == 0) {
        return before == service;
    }
    if (dots > 2) {
        return false;
    }
    return before.substr(before.rfind(L'.')) == L"." + service;
}

bool path_rule(std::wstring_view path) {
    constexpr std::wstring_view prefix = L"/files/";
    if (!path.starts_with(prefix)) {
        return false;
    }
    std::size_t i = prefix.size();
    for (; i < path.size() && path[i] != L'/'; ++i) {
        if (path[i] < L'0' || path[i] > L'9') {
            return false;
        }
    }
    return i - prefix.size() >= 3 && i < path.size();
}

struct Refusal_pattern {
    std::string_view phrase;
    int message_id;
    bool seconds_rule;
};

constexpr Refusal_pattern k_refusals[] = {
    {" You need RapidPro to download more files from your IP address",
     texts::refusal_already_downloading, false},
    {" You need to wait", texts::refusal_download_limit, true},
    {" lot of users", texts::refusal_many_users, true},
    {" All free download slots are full", texts::refusal_no_slots, true},
    {" Please stop flooding", texts::refusal_flooding, true},
};
constexpr int k_busy_ip_wait = 300;

std::int64_t seconds_rule(std::string_view message) {
    const std::size_t seconds = message.find(" seconds");
    if (seconds == std::string_view::npos) {
        return k_default_refusal_wait;
    }
    const std::size_t blank = message.substr(0, seconds).rfind(' ');
    const std::size_t start = blank == std::string_view::npos ? 0 : blank + 1;
    const std::int64_t wait = wait_from(message.substr(start, seconds - start));
    return wait > 0 ? wait : k_default_refusal_wait;
}

Api_reply classify_error_reply(std::string_view reply) {
    Api_reply result;
    const std::size_t script = reply.find("<script");
    if (script == std::string_view::npos) {
        return result;
    }
    constexpr std::size_t message_start = 7;  // "ERROR:" and the blank after it
    const std::string_view message = script < message_start
                                         ? std::string_view{}
                                         : reply.substr(message_start, script - message_start);
    result.outcome = Reply_outcome::refused;
    for (const Refusal_pattern& pattern : k_refusals) {
        if (message.find(pattern.phrase) != std::string_view::npos) {
            result.last_error_id = pattern.message_id;
            set_wait(result, pattern.seconds_rule ? seconds_rule(message) : k_busy_ip_wait);
            return result;
        }
    }
    result.host_text = host_text(message);
    set_wait(result, seconds_rule(message));
    return result;
}

bool is_host_character(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'-' || c == L'.';
}

// A host name or a bracketed IPv6 literal, with an optional ":port" from 1 to
// 65535: nothing that could change the path, query or host of the file
// request, or keep it from being made.
bool is_server_name(std::wstring_view server) {
    std::size_t host_end = 0;
    if (server.starts_with(L'[')) {
        host_end = server.find(L']');
        if (host_end == std::wstring_view::npos || host_end < 2) {
            return false;
        }
        for (const wchar_t c : server.substr(1, host_end - 1)) {
            const bool hex =
                (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
            if (!hex && c != L':' && c != L'.') {
                return false;
            }
        }
        ++host_end;
    } else {
        while (host_end < server.size() && is_host_character(server[host_end])) {
            ++host_end;
        }
        if (host_end == 0) {
            return false;
        }
    }
    const std::wstring_view port = server.substr(host_end);
    if (port.empty()) {
        return true;
    }
    if (port.size() < 2 || port.size() > 6 || port[0] != L':') {
        return false;
    }
    if (!std::all_of(port.begin() + 1, port.end(),
                     [](wchar_t c) { return c >= L'0' && c <= L'9'; })) {
        return false;
    }
    const int number = parse_int(port.substr(1));
    return number >= 1 && number <= 65535;  // a port the file request can name
}

Api_reply classify_direct_link_reply(std::string_view reply) {
    Api_reply result;
    std::size_t commas[3];
    std::size_t from = 0;
    for (std::size_t& comma : commas) {
        comma = reply.find(',', from);
        if (comma == std::string_view::npos) {
            return result;  // fewer than three commas: the fields are not there
        }
        from = comma + 1;
    }
    const std::string_view wait_field =
        reply.substr(commas[1] + 1, std::min(commas[2] - commas[1] - 1, k_wait_field_limit));
    set_wait(result, wait_from(wait_field));

    // The first field begins with "DL:"; one found later names no server.
    const std::size_t marker = reply.find("DL:");
    if (marker == std::string_view::npos || marker + 3 > commas[0]) {
        return result;
    }
    result.file_server = host_text(reply.substr(marker + 3, commas[0] - marker - 3));
    result.authorisation = host_text(reply.substr(commas[0] + 1, commas[1] - commas[0] - 1));
    if (is_server_name(result.file_server)) {
        result.outcome = Reply_outcome::direct_link;
    }
    return result;
}

}  // namespace

bool check_link(const Host_config& config, std::wstring& host, std::wstring& path) {
    lower_az_in_place(host);
    lower_az_in_place(path);
    return host_rule(config, host) && path_rule(path);
}

Link_parts split_link(std::wstring_view path) {
    const std::size_t s1 = path.find(L'/', 1);
    const std::size_t s2 = s1 == std::wstring_view::npos ? s1 : path.find(L'/', s1 + 1);
    if (s2 == std::wstring_view::npos) {
        return {};
    }
    return {std::wstring(path.substr(s1 + 1, s2 - s1 - 1)), std::wstring(path.substr(s2 + 1))};
}

std::wstring api_request_object(const Link_parts& link) {
    return L"/cgi-bin/rsapi.cgi?sub=download_v1&fileid=" + link.file_id + L"&filename=" +
           link.file_name + L"&try=1";
}

std::wstring file_request_url(std::wstring_view file_server, const Link_parts& link,
                              std::wstring_view authorisation) {
    std::wstring url = L"http://";
    url += file_server;
    url += L"/cgi-bin/rsapi.cgi?sub=download_v1&editparentlocation=0&bin=1&fileid=";
    url += link.file_id;
    url += L"&filename=";
    url += link.file_name;
    url += L"&dlauth=";
    url += authorisation;
    return url;
}

Api_reply classify_api_reply(std::string_view reply) {
    return reply.starts_with("ERROR:") ? classify_error_reply(reply)
                                       : classify_direct_link_reply(reply);
}

std::wstring last_error_text(const Api_reply& reply) {
    return reply.last_error_id != 0 ? load_string(reply.last_error_id) : reply.host_text;
}

bool session_expired(std::string_view buffered) {
    return buffered.find("The download session has expired") != std::string_view::npos;
}

File_host_protocol::File_host_protocol(Host_config config)
    : config_(std::move(config)),
      marker_(config_.link_marker()),
      marker_bytes_(encode_utf8(marker_)) {}

std::optional<Link_parts> File_host_protocol::file_link(const Parsed_url& link) const {
    std::wstring server = link.server;
    std::wstring object = link.object;
    if (!check_link(config_, server, object)) {
        return std::nullopt;
    }
    return split_link(object);
}

Parsed_url File_host_protocol::api_request(const Parsed_url& link, const Link_parts& parts) const {
    return {link.service, config_.api_server, api_request_object(parts), link.port};
}

Api_reply File_host_protocol::read_api_reply(std::string_view reply) const {
    return classify_api_reply(reply);
}

std::wstring File_host_protocol::refusal_text(const Api_reply& reply) const {
    return last_error_text(reply);
}

std::wstring File_host_protocol::file_request(const Api_reply& reply,
                                              const Link_parts& parts) const {
    return file_request_url(reply.file_server, parts, reply.authorisation);
}

bool File_host_protocol::session_expired(std::string_view start_of_reply) const {
    // Only the start of a reply can be the page: the same words further on
    // are the file's own content.
    return start_of_reply.size() < k_expired_check_limit &&
           corvale::session_expired(start_of_reply);
}

Extracted_links File_host_protocol::extract_links(std::wstring& text) const {
    return corvale::extract_links(text, marker_);
}

bool File_host_protocol::extract_links(std::string& bytes,
                                       const std::function<void(std::wstring)>& on_link) const {
    return corvale::extract_links(bytes, marker_bytes_, on_link);
}

Page_classification File_host_protocol::classify_page(std::wstring& page) const {
    return corvale::classify_page(page);
}

std::unique_ptr<File_host> make_file_host(Host_config config) {
    return std::make_unique<File_host_protocol>(std::move(config));
}

}  // namespace corvale
