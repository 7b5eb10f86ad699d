#include "engine/preferences.h"

#include <unistd.h>

#include <string_view>

#include "corvale/text_ids.h"
#include "model/download_fields.h"
#include "platform/file_io.h"

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

int check_default_folder(std::wstring_view folder) {
    if (folder.empty()) {
        return 0;
    }
    // A relative path would name another folder wherever the program starts.
    if (!to_path(folder).is_absolute()) {
        return texts::preferences_folder_not_full;
    }
    if (!is_existing_folder(std::wstring(folder))) {
        return texts::preferences_folder_missing;
    }
    // Creating a file needs writing and searching the folder.
    if (::access(to_path(folder).c_str(), W_OK | X_OK) != 0) {
        return texts::preferences_folder_not_writable;
    }
    return 0;
}

void write_preferences(Profile& profile, const Preferences& preferences) {
    profile.write_string(k_settings_section, k_default_folder_key, preferences.default_folder);
    profile.write_int(k_settings_section, k_notifications_key, preferences.notifications ? 1 : 0);
    profile.write_int(k_settings_section, k_keep_in_tray_key, preferences.keep_in_tray ? 1 : 0);
    profile.write_int(k_settings_section, k_watch_clipboard_key,
                      preferences.watch_clipboard ? 1 : 0);
}

}  // namespace corvale
