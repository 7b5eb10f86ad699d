#include "engine/rate_entry.h"

#include <cwctype>

namespace corvale {

namespace {

constexpr std::uint64_t k_kib = 1024;
// Decimals beyond these change no limit by a byte.
constexpr int k_kept_decimals = 9;

std::uint64_t bytes_of(Rate_unit unit) {
    return unit == Rate_unit::mb ? k_kib * k_kib : k_kib;
}

// The value of a digit, Western, Arabic-Indic or Eastern Arabic-Indic; -1
// for any other character.
int digit_value(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= 0x0660 && c <= 0x0669) {
        return c - 0x0660;
    }
    if (c >= 0x06F0 && c <= 0x06F9) {
        return c - 0x06F0;
    }
    return -1;
}

bool decimal_point(wchar_t c) {
    return c == L'.' || c == 0x066B;  // the Arabic decimal separator
}

std::wstring_view trimmed(std::wstring_view text) {
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::iswspace(static_cast<wint_t>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::optional<std::uint64_t> rate_from_entry(std::wstring_view number, Rate_unit unit) {
    number = trimmed(number);
    if (number.empty()) {
        return 0;
    }
    const std::uint64_t per_unit = bytes_of(unit);
    const std::uint64_t largest_whole = k_largest_rate / per_unit;
    std::uint64_t whole = 0;
    std::uint64_t fraction = 0;
    std::uint64_t scale = 1;
    bool in_fraction = false;
    bool any_digit = false;
    for (const wchar_t c : number) {
        if (decimal_point(c) && !in_fraction) {
            in_fraction = true;
            continue;
        }
        const int digit = digit_value(c);
        if (digit < 0) {
            return std::nullopt;
        }
        any_digit = true;
        if (!in_fraction) {
            whole = whole * 10 + static_cast<std::uint64_t>(digit);
            if (whole > largest_whole) {
                return std::nullopt;
            }
        } else if (scale < 1'000'000'000) {
            static_assert(k_kept_decimals == 9);
            fraction = fraction * 10 + static_cast<std::uint64_t>(digit);
            scale *= 10;
        }
    }
    if (!any_digit) {
        return std::nullopt;
    }
    // At most 10^9 * 2^20 < 2^50: no overflow.
    const std::uint64_t rate = whole * per_unit + (fraction * per_unit + scale / 2) / scale;
    if (rate > k_largest_rate) {
        return std::nullopt;
    }
    if (rate == 0 && fraction != 0) {
        return 1;  // a limit, however small, is not "no limit"
    }
    return rate;
}

Rate_entry entry_of_rate(std::uint64_t bytes_per_second) {
    if (bytes_per_second != 0 && bytes_per_second % (k_kib * k_kib) == 0) {
        return {std::to_wstring(bytes_per_second / (k_kib * k_kib)), Rate_unit::mb};
    }
    std::wstring number = std::to_wstring(bytes_per_second / k_kib);
    if (const std::uint64_t rest = bytes_per_second % k_kib; rest != 0) {
        // Four decimals tell every byte of a KB apart: 1/1024 > 0.0009.
        std::wstring decimals = std::to_wstring((rest * 10000 + k_kib / 2) / k_kib);
        decimals.insert(0, 4 - decimals.size(), L'0');
        while (decimals.back() == L'0') {
            decimals.pop_back();
        }
        number += L'.' + decimals;
    }
    return {number, Rate_unit::kb};
}

}  // namespace corvale
