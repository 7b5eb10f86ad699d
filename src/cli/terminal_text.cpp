#include "cli/terminal_text.h"

#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr char k_hex[] = "0123456789abcdef";

// The control character that `c` writes on a terminal, if any: C0, DEL and
// C1, also as a byte of a native name that is not UTF-8.
bool control_code(wchar_t c, unsigned& code) {
    const auto value = static_cast<std::uint32_t>(c);
    if (value < 0x20 || (value >= 0x7F && value <= 0x9F)) {
        code = value;
        return true;
    }
    if (value >= k_escaped_byte_base + 0x80 && value <= k_escaped_byte_base + 0x9F) {
        code = value - k_escaped_byte_base;
        return true;
    }
    return false;
}

}  // namespace

std::string terminal_text(std::wstring_view text) {
    std::string shown;
    shown.reserve(text.size());
    std::size_t run = 0;  // start of the characters not yet written
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned code = 0;
        if (!control_code(text[i], code)) {
            continue;
        }
        shown += encode_utf8(text.substr(run, i - run));
        shown += "\\x";
        shown += k_hex[code >> 4];
        shown += k_hex[code & 0xF];
        run = i + 1;
    }
    shown += encode_utf8(text.substr(run));
    return shown;
}

}  // namespace corvale
