#include "tools/link_extraction.h"

#include <algorithm>

#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::wstring_view k_anchor_start = L"<a ";
constexpr std::wstring_view k_anchor_end = L"</a>";
constexpr std::wstring_view k_link_attribute = L"href=\"";
constexpr std::wstring_view k_scheme = L"http://";
constexpr std::wstring_view k_delimiters = L"\r\n <)[\"}*#";
constexpr std::wstring_view k_paste_split_mark = L"http:";
constexpr wchar_t k_fill = L'*';

std::wstring with_scheme(std::wstring_view link) {
    return link.starts_with(k_scheme) ? std::wstring(link) : std::wstring(k_scheme) += link;
}

// Returns false when an anchor start has no anchor end.
bool anchor_pass(std::wstring& text, std::wstring_view marker, std::vector<std::wstring>& links) {
    std::size_t p = text.find(k_anchor_start);
    while (p != std::wstring::npos) {
        const std::size_t e = text.find(k_anchor_end, p);
        if (e == std::wstring::npos) {
            return false;
        }
        const std::wstring_view anchor = std::wstring_view(text).substr(p, e - p);
        if (anchor.find(marker) != std::wstring_view::npos) {
            const std::size_t attribute = anchor.find(k_link_attribute);
            const std::size_t h_start = attribute == std::wstring_view::npos
                                            ? attribute
                                            : attribute + k_link_attribute.size();
            const std::size_t quote =
                h_start == std::wstring_view::npos ? h_start : anchor.find(L'"', h_start);
            if (quote != std::wstring_view::npos) {
                const std::wstring_view h = anchor.substr(h_start, quote - h_start);
                if (h.find(marker) != std::wstring_view::npos) {
                    links.push_back(with_scheme(h));
                    std::fill(text.begin() + static_cast<std::ptrdiff_t>(p),
                              text.begin() + static_cast<std::ptrdiff_t>(e), k_fill);
                }
            }
        }
        p = text.find(k_anchor_start, e);
    }
    return true;
}

void plain_text_pass(std::wstring_view text, std::wstring_view marker,
                     std::vector<std::wstring>& links) {
    std::size_t q = text.find(marker);
    while (q != std::wstring_view::npos) {
        const std::size_t end = text.find_first_of(k_delimiters, q);
        const std::wstring_view token =
            text.substr(q, end == std::wstring_view::npos ? end : end - q);
        if (!token.empty()) {
            links.push_back(with_scheme(token));
        }
        q = end == std::wstring_view::npos ? end : text.find(marker, end + 1);
    }
}

}  // namespace

Extracted_links extract_links(std::wstring& text, std::wstring_view link_marker) {
    Extracted_links result;
    lower_az_in_place(text);
    if (link_marker.empty()) {
        return result;
    }
    result.scan_complete = anchor_pass(text, link_marker, result.links);
    plain_text_pass(text, link_marker, result.links);
    return result;
}

std::wstring split_pasted_links(std::wstring_view text) {
    std::wstring out = lower_az(text);
    std::size_t position = out.find(k_paste_split_mark);
    while (position != std::wstring::npos) {
        if (position > 0) {
            out.insert(position, 1, L'\r');
            ++position;
        }
        position = out.find(k_paste_split_mark, position + k_paste_split_mark.size());
    }
    return out;
}

}  // namespace corvale
