#pragma once

// The program's file dialogs. In a right-to-left language they are Qt's own
// dialogs, speaking the language through Qt's translations, with the file
// name, folder, filter and file list left to right as paths are written.

#include <QFileDialog>
#include <optional>
#include <string>
#include <string_view>

#include "engine/start_folder.h"
#include "platform/profile.h"

namespace corvale {

void prepare_file_dialog(QFileDialog& dialog);

// Qt's folder chooser with the title's string id, opening in `start`; no
// value when cancelled.
std::optional<std::wstring> choose_folder(QWidget* parent, int title, const std::wstring& start);

// A path that Qt gives (a file dialog's choice) as the program's wide text,
// byte for byte as the file system has it.
std::wstring from_qt_path(const QString& path);
// The inverse, for paths handed to Qt's dialogs.
QString to_qt_path(const std::wstring& path);

// The user's Downloads, Documents and home folders as the desktop has them.
Standard_folders standard_folders();
// Where a chooser opens (start_folder) among the user's own folders.
std::wstring user_start_folder(Start_for what, const Profile& profile,
                               std::wstring_view field = {});

}  // namespace corvale
