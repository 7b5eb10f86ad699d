#include "engine/start_folder.h"

#include <filesystem>
#include <initializer_list>

#include "engine/preferences.h"
#include "model/download_fields.h"
#include "model/list_file.h"
#include "platform/file_io.h"

namespace corvale {

std::wstring start_folder(Start_for what, const Profile& profile, const Standard_folders& standard,
                          std::wstring_view field) {
    const auto first_existing = [&](std::initializer_list<std::wstring> candidates) {
        for (const std::wstring& candidate : candidates) {
            if (is_existing_folder(candidate)) {
                return candidate;
            }
        }
        return standard.home;
    };
    if (what == Start_for::downloads) {
        return first_existing({std::wstring(field), read_preferences(profile).default_folder,
                               profile.read_string(k_settings_section, k_last_folder_key, L""),
                               standard.downloads});
    }
    const std::wstring last_list = profile.read_string(k_settings_section, k_last_list_key, L"");
    return first_existing({from_path(to_path(last_list).parent_path()), standard.documents});
}

void remember_download_folder(Profile& profile, std::wstring_view folder) {
    if (folder.empty()) {
        return;
    }
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(to_path(folder), error);
    profile.write_string(k_settings_section, k_last_folder_key,
                         error ? std::wstring(folder) : from_path(absolute));
}

}  // namespace corvale
