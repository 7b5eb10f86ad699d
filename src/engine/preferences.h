#pragma once

// The desktop program's preferences kept in the profile besides the speed
// limits (limit_profile.h) and the language: the default download folder,
// desktop notifications, the tray icon and the clipboard watch. A stored
// value that cannot be read is its default.

#include <string>

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
void write_preferences(Profile& profile, const Preferences& preferences);

}  // namespace corvale
