#include "tools/update_check.h"

#include <climits>

#include "corvale/text_ids.h"
#include "corvale/version.h"
#include "platform/http.h"
#include "platform/string_table.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr const char* k_user_agent = "Corvale/1.0";
constexpr std::size_t k_mark_size = 2;

// Why no reply came, for the one who asked.
std::wstring failure_text(int error) {
    return error == k_http_deadline_passed ? load_string(texts::update_took_too_long)
                                           : http_error_text(error);
}

}  // namespace

Update_source default_update_source() {
    Update_source source;
    source.server = k_update_server;
    return source;
}

std::optional<Update_source> update_source_from_url(const std::wstring& url) {
    const auto parsed = parse_url(url);
    if (!parsed || parsed->server.empty() ||
        (parsed->service != Service_type::http && parsed->service != Service_type::https)) {
        return std::nullopt;
    }
    return Update_source{parsed->service, parsed->server, parsed->port, parsed->object};
}

Version_fetch fetch_version_file(const Update_source& source, const Stop_event& stop,
                                 std::chrono::milliseconds deadline) {
    Version_fetch fetch;
    Http_session session(k_user_agent, stop);
    session.set_deadline(std::chrono::steady_clock::now() + deadline);
    Http_request request(session, {source.service, source.server, source.path, source.port});
    if (request.open_error() != 0) {
        fetch.error = failure_text(request.open_error());
        return fetch;
    }
    if (const int sent = request.send(); sent != 0) {
        fetch.error = failure_text(sent);
        return fetch;
    }
    fetch.status = request.status();
    if (fetch.status != 200) {
        return fetch;
    }
    const auto length = request.content_length();
    if (length && *length >= k_version_file_limit) {
        return fetch;  // too large: not read
    }
    std::string body;
    const Reply_reading reading{1024, k_version_file_limit};
    const Reply_read read = request.read_reply(reading, [&body](std::string_view piece) {
        body.append(piece);
        return true;
    });
    if (read.error != 0) {
        fetch.error = failure_text(read.error);
        fetch.status = 0;
        return fetch;
    }
    if (read.limit_reached(reading)) {
        return fetch;  // a reply without a length that is too large
    }
    if (body.size() > k_mark_size) {
        fetch.reply = from_utf16le(std::string_view(body).substr(k_mark_size));
    }
    return fetch;
}

Version_file parse_version_file(std::wstring_view reply) {
    Version_file file;
    std::size_t start = reply.find_first_not_of(L'\r');
    if (start == std::wstring_view::npos) {
        return file;
    }
    const std::size_t first_end = reply.find(L'\r', start);
    file.latest = std::wstring(reply.substr(start, first_end - start));
    if (first_end == std::wstring_view::npos) {
        return file;
    }
    start = first_end + 1;
    if (start < reply.size() && reply[start] == L'\n') {
        ++start;
    }
    const std::size_t second_end = reply.find(L'\r', start);
    const std::wstring_view date = reply.substr(
        std::min(start, reply.size()),
        second_end == std::wstring_view::npos ? std::wstring_view::npos : second_end - start);
    if (date.empty()) {
        return file;
    }
    file.date = std::wstring(date);
    if (second_end == std::wstring_view::npos) {
        return file;
    }
    std::wstring_view information = reply.substr(second_end + 1);
    if (!information.empty() && information.front() == L'\n') {
        information.remove_prefix(1);
    }
    if (!information.empty()) {
        file.information = std::wstring(information);
    }
    return file;
}

int version_number(std::wstring_view dotted) {
    std::wstring digits;
    digits.reserve(dotted.size());
    for (const wchar_t c : dotted) {
        if (c != L'.') {
            digits.push_back(c);
        }
    }
    return parse_int(digits);
}

bool update_available(std::wstring_view current, std::wstring_view latest) {
    return version_number(trim_space(latest)) > version_number(current);
}

int update_verdict_message(bool available) {
    return available ? texts::update_available : texts::no_update;
}

}  // namespace corvale
