#pragma once

// A speed limit as the user types it: a number (whole or with a fraction)
// and a unit, KB/s or MB/s, 1024-based like the limits are shown. Empty or
// 0 is no limit.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvale {

enum class Rate_unit { kb, mb };

// The highest limit that can be given: 1024 GB/s. Above it a limit means
// nothing and its bytes would soon not fit.
inline constexpr std::uint64_t k_largest_rate = std::uint64_t{1} << 40;

// Bytes per second of `number` in `unit`, rounded; a limit above 0 is at
// least 1 byte per second. None when the text is not a number (digits, in
// Western or Arabic-Indic form, with one optional decimal point, blanks
// around them), is negative, or is above k_largest_rate.
std::optional<std::uint64_t> rate_from_entry(std::wstring_view number, Rate_unit unit);

struct Rate_entry {
    std::wstring number;
    Rate_unit unit = Rate_unit::kb;
    bool operator==(const Rate_entry&) const = default;
};

// How a limit is shown in the fields: whole MB/s in MB/s, any other in KB/s
// (with as many decimals as it takes to give the same limit back); 0 as "0".
Rate_entry entry_of_rate(std::uint64_t bytes_per_second);

}  // namespace corvale
