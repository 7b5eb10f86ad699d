#pragma once

// Reading a file link's own page: does the file exist, does it need a premium
// account, and what are its name and size.

#include <string>

namespace corvale {

enum class Page_verdict { not_found, premium_required, verified };

struct Page_classification {
    Page_verdict verdict = Page_verdict::verified;
    std::wstring file_name;  // empty unless the page carries the download fields
    std::wstring size;       // unformatted, as the page gives it
};

// Case-sensitive. `page` may be changed: without "ERROR: " in it, every "\";"
// becomes "|;" so that the closing quote of the download fields reads as a bar.
Page_classification classify_page(std::wstring& page);

// The text id of a verdict's text (file_not_found, premium_required or
// verified_link).
int verdict_message(Page_verdict verdict);

}  // namespace corvale
