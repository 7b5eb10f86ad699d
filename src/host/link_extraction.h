#pragma once

// Finding the file host's file links in a web page or in pasted text, and
// preparing pasted text so that links written back to back come apart.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvale {

struct Extracted_links {
    std::vector<std::wstring> links;  // in page order; a link found twice is listed twice
    bool scan_complete = true;        // false: an anchor start had no anchor end
};

// `text` is lowercased in place, and every anchor that yielded a link is
// overwritten with '*' so that the plain-text pass does not find it again.
// `link_marker` is the file host's domain followed by "/files/", in lower case.
// An anchor start without an anchor end ends the anchor pass and marks the
// scan incomplete; the plain-text pass still runs, so links written plainly in
// the rest of the page are not lost.
Extracted_links extract_links(std::wstring& text, std::wstring_view link_marker);

// The same over the bytes of a page or a paste (UTF-8; a byte that is not
// UTF-8 is read as Latin-1): each link is handed to `on_link` as it is found,
// in the same order, so a large page needs no second copy of its links.
// `link_marker` is ASCII. Returns false when the scan was incomplete.
bool extract_links(std::string& bytes, std::string_view link_marker,
                   const std::function<void(std::wstring)>& on_link);

// Lowercases pasted text and puts a carriage return in front of every "http:"
// that is not at the very start.
std::wstring split_pasted_links(std::wstring_view text);
std::string split_pasted_links(std::string_view bytes);

}  // namespace corvale
