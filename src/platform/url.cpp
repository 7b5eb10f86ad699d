#include "platform/url.h"

#include <curl/curl.h>

#include "platform/wide_text.h"

namespace corvale {

namespace {

bool is_scheme_char(wchar_t c, bool first) {
    const bool alpha = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
    if (first) {
        return alpha;
    }
    return alpha || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

struct Scheme_info {
    std::wstring_view name;
    Service_type service;
    std::uint16_t default_port;
};

constexpr Scheme_info k_schemes[] = {
    {L"http", Service_type::http, 80}, {L"https", Service_type::https, 443},
    {L"ftp", Service_type::ftp, 21},   {L"gopher", Service_type::gopher, 70},
    {L"file", Service_type::file, 0},
};

std::optional<std::uint16_t> parse_port(std::wstring_view digits) {
    if (digits.empty() || digits.size() > 5) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - L'0');
    }
    if (value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<Parsed_url> parse_url(std::wstring_view text) {
    const std::size_t colon = text.find(L':');
    if (colon == std::wstring_view::npos || colon == 0) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        if (!is_scheme_char(text[i], i == 0)) {
            return std::nullopt;
        }
    }
    if (text.substr(colon + 1, 2) != L"//") {
        return std::nullopt;
    }
    Parsed_url url;
    std::uint16_t port = 0;
    const std::wstring scheme = lower_az(text.substr(0, colon));
    for (const Scheme_info& info : k_schemes) {
        if (scheme == info.name) {
            url.service = info.service;
            port = info.default_port;
        }
    }

    const std::wstring_view rest = text.substr(colon + 3);
    const std::size_t authority_end = rest.find_first_of(L"/?#");
    std::wstring_view authority = rest.substr(0, authority_end);
    const std::wstring_view object =
        authority_end == std::wstring_view::npos ? std::wstring_view{} : rest.substr(authority_end);

    if (const std::size_t at = authority.rfind(L'@'); at != std::wstring_view::npos) {
        authority = authority.substr(at + 1);
    }
    std::wstring_view host = authority;
    std::wstring_view port_text;
    bool has_port = false;
    if (!authority.empty() && authority.front() == L'[') {
        const std::size_t close = authority.find(L']');
        if (close == std::wstring_view::npos) {
            return std::nullopt;
        }
        host = authority.substr(0, close + 1);
        const std::wstring_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != L':') {
                return std::nullopt;
            }
            has_port = true;
            port_text = after.substr(1);
        }
    } else if (const std::size_t c = authority.rfind(L':'); c != std::wstring_view::npos) {
        host = authority.substr(0, c);
        has_port = true;
        port_text = authority.substr(c + 1);
    }
    if (host.empty() && url.service != Service_type::file) {
        return std::nullopt;
    }
    if (has_port) {
        const auto explicit_port = parse_port(port_text);
        if (!explicit_port) {
            return std::nullopt;
        }
        port = *explicit_port;
    }
    url.server = std::wstring(host);
    url.port = port;
    url.object = object.empty() || object.front() != L'/' ? L"/" + std::wstring(object)
                                                          : std::wstring(object);
    return url;
}

std::optional<std::string> request_url(const Parsed_url& url) {
    const char* scheme = url.service == Service_type::https ? "https://" : "http://";
    const std::string text =
        scheme + encode_utf8(url.server) + ":" + std::to_string(url.port) + encode_utf8(url.object);
    CURLU* handle = curl_url();
    std::optional<std::string> composed;
    char* full = nullptr;
    if (curl_url_set(handle, CURLUPART_URL, text.c_str(), CURLU_URLENCODE | CURLU_ALLOW_SPACE) ==
            CURLUE_OK &&
        curl_url_get(handle, CURLUPART_URL, &full, 0) == CURLUE_OK) {
        composed = full;
    }
    curl_free(full);
    curl_url_cleanup(handle);
    return composed;
}

std::wstring usable_link(std::wstring_view link) {
    const auto begins_with = [link](std::wstring_view scheme) {
        return link.size() >= scheme.size() &&
               equals_ignoring_case_az(link.substr(0, scheme.size()), scheme);
    };
    if (begins_with(L"http://") || begins_with(L"https://")) {
        return std::wstring(link);
    }
    return L"http://" + std::wstring(link);
}

}  // namespace corvale
