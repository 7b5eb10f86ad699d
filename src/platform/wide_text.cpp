#include "platform/wide_text.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cmath>
#include <limits>
#include <string>

namespace corvale {

namespace {

template <typename Char>
bool is_c_space(Char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
bool is_digit(Char c) {
    return c >= '0' && c <= '9';
}

template <typename Int, typename Char>
Int parse_int_impl(std::basic_string_view<Char> text) {
    using Limits = std::numeric_limits<Int>;
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate the magnitude unsigned; it may be one more than Int's maximum.
    const auto limit = static_cast<std::uint64_t>(Limits::max()) + (negative ? 1 : 0);
    std::uint64_t magnitude = 0;
    for (; i < text.size() && is_digit(text[i]); ++i) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (magnitude > limit) {
            return negative ? Limits::min() : Limits::max();
        }
    }
    if (negative) {
        return magnitude == limit ? Limits::min() : -static_cast<Int>(magnitude);
    }
    return static_cast<Int>(magnitude);
}

template <typename Char>
std::basic_string_view<Char> trim_space_impl(std::basic_string_view<Char> text) {
    while (!text.empty() && is_c_space(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && is_c_space(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

int digit_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    const wchar_t lower = fold_az(c);
    if (lower >= L'a' && lower <= L'z') {
        return lower - L'a' + 10;
    }
    return 99;
}

}  // namespace

std::wstring_view trim_space(std::wstring_view text) {
    return trim_space_impl(text);
}
std::string_view trim_space(std::string_view text) {
    return trim_space_impl(text);
}

void lower_az_in_place(std::wstring& text) {
    for (wchar_t& c : text) {
        c = fold_az(c);
    }
}

std::wstring lower_az(std::wstring_view text) {
    std::wstring result(text);
    lower_az_in_place(result);
    return result;
}

bool equals_ignoring_case_az(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return fold_az(x) == fold_az(y); });
}

namespace {

template <typename Char>
std::optional<std::uint64_t> parse_digits_impl(std::basic_string_view<Char> text) {
    if (text.empty() || text.size() > 19) {  // 19 digits always fit
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const Char c : text) {
        if (c < Char('0') || c > Char('9')) {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - Char('0'));
    }
    return value;
}

}  // namespace

std::optional<std::uint64_t> parse_digits(std::string_view text) {
    return parse_digits_impl(text);
}
std::optional<std::uint64_t> parse_digits(std::wstring_view text) {
    return parse_digits_impl(text);
}

int parse_int(std::wstring_view text) {
    return parse_int_impl<int>(text);
}
int parse_int(std::string_view text) {
    return parse_int_impl<int>(text);
}
std::int64_t parse_int64(std::wstring_view text) {
    return parse_int_impl<std::int64_t>(text);
}
std::int64_t parse_int64(std::string_view text) {
    return parse_int_impl<std::int64_t>(text);
}

std::uint64_t parse_uint64(std::wstring_view text, int base, std::size_t* consumed) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
        negative = text[i] == L'-';
        ++i;
    }
    const std::size_t first_digit = i;
    std::uint64_t value = 0;
    bool overflow = false;
    const auto radix = static_cast<std::uint64_t>(base);
    for (; i < text.size() && digit_value(text[i]) < base; ++i) {
        const auto digit = static_cast<std::uint64_t>(digit_value(text[i]));
        if (value > (UINT64_MAX - digit) / radix) {
            overflow = true;
        }
        value = value * radix + digit;
    }
    if (i == first_digit) {
        if (consumed != nullptr) {
            *consumed = 0;
        }
        return 0;
    }
    if (consumed != nullptr) {
        *consumed = i;
    }
    if (overflow) {
        return UINT64_MAX;
    }
    return negative ? 0 - value : value;
}

double parse_double(std::wstring_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_c_space(text[i])) {
        ++i;
    }
    // Copy the characters that can belong to a decimal number; from_chars
    // then takes the longest valid prefix, whatever the process locale is.
    std::string narrow;
    bool sign = i < text.size() && (text[i] == L'+' || text[i] == L'-');
    if (sign && text[i] == L'-') {
        narrow.push_back('-');
    }
    if (sign && i + 1 < text.size() && (text[i + 1] == L'+' || text[i + 1] == L'-')) {
        return 0.0;
    }
    for (std::size_t j = i + (sign ? 1 : 0); j < text.size(); ++j) {
        const wchar_t c = text[j];
        if (is_digit(c) || c == L'.' || c == L'e' || c == L'E' || c == L'+' || c == L'-') {
            narrow.push_back(static_cast<char>(c));
        } else {
            break;
        }
    }
    double value = 0.0;
    const auto result = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value,
                                        std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        const bool negative = !narrow.empty() && narrow.front() == '-';
        return negative ? -HUGE_VAL : HUGE_VAL;
    }
    return result.ec == std::errc() ? value : 0.0;
}

namespace {

// UTF-8 with a stand-in for every byte that does not start a valid sequence:
// the byte's own code (Latin-1), or the low surrogate 0xDC00 + byte, which
// encode_utf8 turns back into the byte.
// `all_valid`, when given, tells whether every byte was part of a valid
// sequence.
std::wstring decode_utf8(std::string_view bytes, bool escape_invalid, bool* all_valid = nullptr) {
    if (all_valid != nullptr) {
        *all_valid = true;
    }
    std::wstring out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b0 = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t code = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            out.push_back(static_cast<wchar_t>(b0));
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            length = 2, code = b0 & 0x1F, minimum = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            length = 3, code = b0 & 0x0F, minimum = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            length = 4, code = b0 & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(bytes[i + k]);
            valid = (b & 0xC0) == 0x80;
            code = (code << 6) | (b & 0x3F);
        }
        valid = valid && code >= minimum && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
        if (valid) {
            out.push_back(static_cast<wchar_t>(code));
            i += length;
        } else {
            out.push_back(static_cast<wchar_t>(escape_invalid ? k_escaped_byte_base + b0 : b0));
            ++i;
            if (all_valid != nullptr) {
                *all_valid = false;
            }
        }
    }
    return out;
}

}  // namespace

std::wstring decode_ansi(std::string_view bytes) {
    return decode_utf8(bytes, false);
}

std::wstring decode_native(std::string_view bytes) {
    return decode_utf8(bytes, true);
}

std::wstring decode_page_text(std::string_view bytes) {
    bool valid = false;
    std::wstring text = decode_utf8(bytes, false, &valid);
    if (valid) {
        return text;
    }
    text.resize(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    }
    return text;
}

std::string encode_utf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c >= k_escaped_byte_base + 0x80 && c <= k_escaped_byte_base + 0xFF) {
            out.push_back(static_cast<char>(c - k_escaped_byte_base));  // a byte of a native name
            continue;
        }
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::wstring from_utf16le(std::string_view bytes) {
    std::wstring out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    auto unit_at = [&](std::size_t k) {
        return static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    for (std::size_t k = 0; k < units; ++k) {
        const char16_t u = unit_at(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units) {
            const char16_t low = unit_at(k + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                out.push_back(
                    static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
                ++k;
                continue;
            }
        }
        out.push_back(static_cast<wchar_t>(u));
    }
    return out;
}

std::string to_utf16le(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    auto put = [&out](char32_t u) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>((u >> 8) & 0xFF));
    };
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF) {
            c = 0xFFFD;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

}  // namespace corvale
