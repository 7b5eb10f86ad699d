#pragma once

// The program's file dialogs. In a right-to-left language they are Qt's own
// dialogs, speaking the language through Qt's translations, with the file
// name, folder, filter and file list left to right as paths are written.

#include <QFileDialog>
#include <optional>
#include <string>

namespace corvale {

void prepare_file_dialog(QFileDialog& dialog);

// Qt's folder chooser with the title's string id; no value when cancelled.
std::optional<std::wstring> choose_folder(QWidget* parent, int title);

// A path that Qt gives (a file dialog's choice) as the program's wide text,
// byte for byte as the file system has it.
std::wstring from_qt_path(const QString& path);

}  // namespace corvale
