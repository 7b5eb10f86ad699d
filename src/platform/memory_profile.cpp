#include "platform/profile.h"
#include "platform/wide_text.h"

namespace corvale {

int Memory_profile::read_int(std::wstring_view section, std::wstring_view key, int fallback) const {
    const auto it = values_.find({std::wstring(section), std::wstring(key)});
    return it == values_.end() ? fallback : parse_int(it->second);
}

void Memory_profile::write_int(std::wstring_view section, std::wstring_view key, int value) {
    write_string(section, key, std::to_wstring(value));
}

std::wstring Memory_profile::read_string(std::wstring_view section, std::wstring_view key,
                                         std::wstring_view fallback) const {
    const auto it = values_.find({std::wstring(section), std::wstring(key)});
    return it == values_.end() ? std::wstring(fallback) : it->second;
}

void Memory_profile::write_string(std::wstring_view section, std::wstring_view key,
                                  std::wstring_view value) {
    values_[{std::wstring(section), std::wstring(key)}] = std::wstring(value);
}

}  // namespace corvale
