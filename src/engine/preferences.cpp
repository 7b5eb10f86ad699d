#include "engine/preferences.h"

#include <string_view>

namespace corvale {

namespace {

constexpr std::wstring_view k_default_folder_key = L"default_folder";
constexpr std::wstring_view k_notifications_key = L"notifications";
constexpr std::wstring_view k_keep_in_tray_key = L"keep_in_tray";
constexpr std::wstring_view k_watch_clipboard_key = L"watch_clipboard";

// 1 is on, 0 off; anything else is the default.
bool read_switch(const Profile& profile, std::wstring_view key, bool fallback) {
    const int value = profile.read_int(k_settings_section, key, fallback ? 1 : 0);
    return value == 0 || value == 1 ? value == 1 : fallback;
}

}  // namespace

Preferences read_preferences(const Profile& profile) {
    Preferences preferences;
    preferences.default_folder = profile.read_string(k_settings_section, k_default_folder_key, L"");
    preferences.notifications =
        read_switch(profile, k_notifications_key, preferences.notifications);
    preferences.keep_in_tray = read_switch(profile, k_keep_in_tray_key, preferences.keep_in_tray);
    preferences.watch_clipboard =
        read_switch(profile, k_watch_clipboard_key, preferences.watch_clipboard);
    return preferences;
}

void write_preferences(Profile& profile, const Preferences& preferences) {
    profile.write_string(k_settings_section, k_default_folder_key, preferences.default_folder);
    profile.write_int(k_settings_section, k_notifications_key, preferences.notifications ? 1 : 0);
    profile.write_int(k_settings_section, k_keep_in_tray_key, preferences.keep_in_tray ? 1 : 0);
    profile.write_int(k_settings_section, k_watch_clipboard_key,
                      preferences.watch_clipboard ? 1 : 0);
}

}  // namespace corvale
