#pragma once

// Where the folder choosers and the list-file dialogs open: the folder the
// user made the default for downloads, where the user was last, else one of
// the user's standard folders.

#include <string>
#include <string_view>

#include "platform/profile.h"

namespace corvale {

// The profile's folder of the last download added through the Add dialog or
// the links grabber, or of the last folder chosen with Browse.
inline constexpr std::wstring_view k_last_folder_key = L"last_folder";

// The user's own folders as the desktop names them; empty when unknown.
struct Standard_folders {
    std::wstring downloads;
    std::wstring documents;
    std::wstring home;
};

enum class Start_for { downloads, lists };

// The first of these that is an existing folder, else the home folder:
// for downloads, `field` (what the chooser's field holds), the default
// download folder of the preferences, the profile's last download folder,
// Downloads; for lists, the folder of the profile's last
// list file, Documents.
std::wstring start_folder(Start_for what, const Profile& profile, const Standard_folders& standard,
                          std::wstring_view field = {});

// Remembers the folder of a download as the next start for downloads, made
// absolute so that it means the same folder wherever the program starts.
void remember_download_folder(Profile& profile, std::wstring_view folder);

}  // namespace corvale
