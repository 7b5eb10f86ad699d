#pragma once

// Finding the file host's file links in a web page or in pasted text, and
// preparing pasted text so that links written back to back come apart.

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

// Lowercases pasted text and puts a carriage return in front of every "http:"
// that is not at the very start.
std::wstring split_pasted_links(std::wstring_view text);

}  // namespace corvale
