#include "host/link_extraction.h"

#include <algorithm>

#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

// The passes work alike on wide text and on the bytes of a page: every mark
// they look for is ASCII, and a byte below 0x80 is always that character in
// the page's text, so a piece cut at such marks decodes to the same text as
// the same piece of the decoded page.
template <typename Char>
struct Marks;

template <>
struct Marks<wchar_t> {
    static constexpr std::wstring_view anchor_start = L"<a ";
    static constexpr std::wstring_view anchor_end = L"</a>";
    static constexpr std::wstring_view link_attribute = L"href=\"";
    // A link also ends at a single quote, a '>' or a tab: a link written in a
    // single-quoted anchor stops before "'>".
    static constexpr std::wstring_view delimiters = L"\r\n <)[\"}*#'>\t";
    static constexpr std::wstring_view paste_split = L"http:";
};

template <>
struct Marks<char> {
    static constexpr std::string_view anchor_start = "<a ";
    static constexpr std::string_view anchor_end = "</a>";
    static constexpr std::string_view link_attribute = "href=\"";
    static constexpr std::string_view delimiters = "\r\n <)[\"}*#'>\t";
    static constexpr std::string_view paste_split = "http:";
};

std::wstring to_wide(std::wstring_view text) {
    return std::wstring(text);
}
std::wstring to_wide(std::string_view bytes) {
    return decode_ansi(bytes);
}

template <typename Char>
using Link_sink = std::function<void(std::basic_string_view<Char>)>;

// Hands every link found in anchors to `found`, without its scheme added.
// Returns false when an anchor start has no anchor end.
template <typename Char>
bool anchor_pass(std::basic_string<Char>& text, std::basic_string_view<Char> marker,
                 const Link_sink<Char>& found) {
    using View = std::basic_string_view<Char>;
    using M = Marks<Char>;
    std::size_t p = text.find(M::anchor_start);
    while (p != View::npos) {
        const std::size_t e = text.find(M::anchor_end, p);
        if (e == View::npos) {
            return false;
        }
        const View anchor = View(text).substr(p, e - p);
        if (anchor.find(marker) != View::npos) {
            const std::size_t attribute = anchor.find(M::link_attribute);
            const std::size_t h_start =
                attribute == View::npos ? attribute : attribute + M::link_attribute.size();
            const std::size_t quote = h_start == View::npos ? h_start : anchor.find('"', h_start);
            if (quote != View::npos) {
                const View h = anchor.substr(h_start, quote - h_start);
                if (h.find(marker) != View::npos) {
                    found(h);
                    std::fill(text.begin() + static_cast<std::ptrdiff_t>(p),
                              text.begin() + static_cast<std::ptrdiff_t>(e), Char('*'));
                }
            }
        }
        p = text.find(M::anchor_start, e);
    }
    return true;
}

template <typename Char>
void plain_text_pass(std::basic_string_view<Char> text, std::basic_string_view<Char> marker,
                     const Link_sink<Char>& found) {
    using View = std::basic_string_view<Char>;
    std::size_t q = text.find(marker);
    while (q != View::npos) {
        const std::size_t end = text.find_first_of(Marks<Char>::delimiters, q);
        const View token = text.substr(q, end == View::npos ? end : end - q);
        if (!token.empty()) {
            found(token);
        }
        q = end == View::npos ? end : text.find(marker, end + 1);
    }
}

template <typename Char>
bool extract(std::basic_string<Char>& text, std::basic_string_view<Char> marker,
             const std::function<void(std::wstring)>& on_link) {
    for (Char& c : text) {
        c = fold_az(c);
    }
    if (marker.empty()) {
        return true;
    }
    const Link_sink<Char> found = [&](std::basic_string_view<Char> link) {
        on_link(usable_link(to_wide(link)));
    };
    const bool complete = anchor_pass(text, marker, found);
    plain_text_pass(std::basic_string_view<Char>(text), marker, found);
    return complete;
}

// One pass to count the marks, one to copy: linear however many there are.
template <typename Char>
std::basic_string<Char> split_pasted(std::basic_string_view<Char> text) {
    using View = std::basic_string_view<Char>;
    const View mark = Marks<Char>::paste_split;
    std::basic_string<Char> lowered(text);
    for (Char& c : lowered) {
        c = fold_az(c);
    }
    std::size_t marks = 0;
    for (std::size_t at = lowered.find(mark, 1); at != View::npos;
         at = lowered.find(mark, at + mark.size())) {
        ++marks;
    }
    if (marks == 0) {
        return lowered;
    }
    std::basic_string<Char> out;
    out.reserve(lowered.size() + marks);
    std::size_t copied = 0;
    for (std::size_t at = lowered.find(mark, 1); at != View::npos;
         at = lowered.find(mark, at + mark.size())) {
        out.append(lowered, copied, at - copied);
        out.push_back(Char('\r'));
        copied = at;
    }
    out.append(lowered, copied);
    return out;
}

}  // namespace

Extracted_links extract_links(std::wstring& text, std::wstring_view link_marker) {
    Extracted_links result;
    result.scan_complete = extract(text, link_marker, [&result](std::wstring link) {
        result.links.push_back(std::move(link));
    });
    return result;
}

bool extract_links(std::string& bytes, std::string_view link_marker,
                   const std::function<void(std::wstring)>& on_link) {
    return extract(bytes, link_marker, on_link);
}

std::wstring split_pasted_links(std::wstring_view text) {
    return split_pasted(text);
}

std::string split_pasted_links(std::string_view bytes) {
    return split_pasted(bytes);
}

}  // namespace corvale
