#pragma once

// Text helpers shared by every layer. Wide text is std::wstring (UTF-32 on
// Linux). Case folding touches A-Z only, as the program's default locale does:
// the list file, the duplicate check and link extraction rely on that.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

inline constexpr wchar_t fold_az(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? c + (L'a' - L'A') : c;
}
inline constexpr char fold_az(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c;
}

void lower_az_in_place(std::wstring& text);
std::wstring lower_az(std::wstring_view text);
bool equals_ignoring_case_az(std::wstring_view a, std::wstring_view b);

// Without the C locale's white space (space, tab, CR, LF, VT, FF) at both ends.
std::wstring_view trim_space(std::wstring_view text);
std::string_view trim_space(std::string_view text);

// A whole number as the list file and the host's replies write one: leading white space, an
// optional sign, decimal digits up to the first other character; 0 without digits; INT_MAX /
// INT_MIN on overflow.
int parse_int(std::wstring_view text);
int parse_int(std::string_view text);
// The same with 64 bits: byte counts.
std::int64_t parse_int64(std::wstring_view text);
std::int64_t parse_int64(std::string_view text);

// A number written with decimal digits only (no blank, no sign); no value
// for anything else, or for more than 19 digits.
std::optional<std::uint64_t> parse_digits(std::string_view text);
std::optional<std::uint64_t> parse_digits(std::wstring_view text);

// An unsigned byte count: white space, optional sign (a
// minus negates modulo 2^64), digits in `base`; UINT64_MAX on overflow.
// `consumed` receives the number of characters read (0 without a number).
std::uint64_t parse_uint64(std::wstring_view text, int base = 10, std::size_t* consumed = nullptr);

// A real number: white space, then the longest decimal floating-point prefix
// (sign, digits, '.', exponent); 0.0 without one. Independent of the locale.
double parse_double(std::wstring_view text);

// Bytes of a network reply, a page or typed text: read as
// UTF-8; a byte that does not start a valid sequence stands for itself (Latin-1).
std::wstring decode_ansi(std::string_view bytes);

// Native names (file names, command-line paths) are bytes. They are read as
// UTF-8, and a byte that does not start a valid sequence becomes the lone
// surrogate 0xDC00 + byte (0xDC80..0xDCFF), which encode_utf8 turns back into
// that byte: every name survives the trip through wide text unchanged.
inline constexpr char32_t k_escaped_byte_base = 0xDC00;
std::wstring decode_native(std::string_view bytes);

// A web page's bytes as text: UTF-8 when all of it is valid UTF-8, else
// Latin-1 (each byte its own character).
std::wstring decode_page_text(std::string_view bytes);

// UTF-8; an escaped byte of a native name (above) is written as that byte,
// any other surrogate as U+FFFD.
std::string encode_utf8(std::wstring_view text);

// UTF-16 little-endian, surrogate pairs combined and split. A lone surrogate is
// kept as its code unit so that nothing read is lost. An odd trailing byte is
// ignored.
std::wstring from_utf16le(std::string_view bytes);
std::string to_utf16le(std::wstring_view text);

}  // namespace corvale
