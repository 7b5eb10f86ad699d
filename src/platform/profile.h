#pragma once

// The per-user application profile: named values in sections. The windows
// store it with QSettings; the CLI keeps it in memory.

#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace corvale {

inline constexpr std::wstring_view k_settings_section = L"settings";
// The profile's "language": 1 (and its default) is Arabic, any other value
// English; the language command for English stores 2.
inline constexpr int k_language_arabic = 1;
inline constexpr int k_language_english = 2;

class Profile {
  public:
    virtual ~Profile() = default;

    virtual int read_int(std::wstring_view section, std::wstring_view key, int fallback) const = 0;
    virtual void write_int(std::wstring_view section, std::wstring_view key, int value) = 0;
    virtual std::wstring read_string(std::wstring_view section, std::wstring_view key,
                                     std::wstring_view fallback) const = 0;
    virtual void write_string(std::wstring_view section, std::wstring_view key,
                              std::wstring_view value) = 0;
};

// A profile that lives as long as the object: the CLI's, which must not
// change the desktop program's remembered values.
class Memory_profile : public Profile {
  public:
    int read_int(std::wstring_view section, std::wstring_view key, int fallback) const override;
    void write_int(std::wstring_view section, std::wstring_view key, int value) override;
    std::wstring read_string(std::wstring_view section, std::wstring_view key,
                             std::wstring_view fallback) const override;
    void write_string(std::wstring_view section, std::wstring_view key,
                      std::wstring_view value) override;

  private:
    using Key = std::pair<std::wstring, std::wstring>;
    std::map<Key, std::wstring> values_;
};

}  // namespace corvale
