#include "engine/limit_profile.h"

#include <optional>
#include <string>

#include "engine/rate_entry.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::wstring_view k_rate_key = L"speed_limit";
constexpr std::wstring_view k_hours_on_key = L"hours_limit_on";
constexpr std::wstring_view k_hours_rate_key = L"hours_limit";
constexpr std::wstring_view k_hours_from_key = L"hours_limit_from";
constexpr std::wstring_view k_hours_until_key = L"hours_limit_until";

// A whole number of at most `largest`, digits only; none otherwise.
std::optional<std::uint64_t> stored_number(const Profile& profile, std::wstring_view key,
                                           std::uint64_t largest) {
    const auto value = parse_digits(profile.read_string(k_settings_section, key, L""));
    if (!value || *value > largest) {
        return std::nullopt;
    }
    return value;
}

void store_number(Profile& profile, std::wstring_view key, std::uint64_t value) {
    profile.write_string(k_settings_section, key, std::to_wstring(value));
}

}  // namespace

Global_limits read_global_limits(const Profile& profile) {
    Global_limits limits;
    limits.rate = stored_number(profile, k_rate_key, k_largest_rate).value_or(0);
    const auto on = stored_number(profile, k_hours_on_key, 1);
    const auto rate = stored_number(profile, k_hours_rate_key, k_largest_rate);
    const auto from = stored_number(profile, k_hours_from_key, k_minutes_per_day - 1);
    const auto until = stored_number(profile, k_hours_until_key, k_minutes_per_day - 1);
    if (on && rate && from && until) {
        limits.hours = {*on == 1, *rate, static_cast<int>(*from), static_cast<int>(*until)};
    }
    return limits;
}

void write_global_limits(Profile& profile, const Global_limits& limits) {
    store_number(profile, k_rate_key, limits.rate);
    store_number(profile, k_hours_on_key, limits.hours.on ? 1 : 0);
    store_number(profile, k_hours_rate_key, limits.hours.rate);
    store_number(profile, k_hours_from_key, static_cast<std::uint64_t>(limits.hours.from));
    store_number(profile, k_hours_until_key, static_cast<std::uint64_t>(limits.hours.until));
}

}  // namespace corvale
