#pragma once

// The desktop program's preferences kept in the profile besides the speed
// limits (limit_profile.h) and the language: the default download folder,
// desktop notifications, the tray icon and the clipboard watch. A stored
// value that cannot be read is its default.

#include <string>
#include <string_view>

#include "platform/profile.h"

namespace corvale {

struct Preferences {
    // Where new downloads go unless the user picks another folder; empty:
    // the last folder used, else the user's Downloads folder.
    std::wstring default_folder;
    // A finished or failed download and the queue's end tell the desktop.
    bool notifications = true;
    // Closing the window leaves the program running in the tray.
    bool keep_in_tray = false;
    // A file-host link copied to the clipboard is offered for adding.
    bool watch_clipboard = false;

    bool operator==(const Preferences&) const = default;
};

Preferences read_preferences(const Profile& profile);
// 0 when `folder` may be the default download folder: empty (none), or the
// full path of an existing folder the user can create files in; else the id
// of the text that says why not (its %1 is the folder).
int check_default_folder(std::wstring_view folder);
void write_preferences(Profile& profile, const Preferences& preferences);

}  // namespace corvale
