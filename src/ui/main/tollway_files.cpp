#include "ui/main/tollway_dlg.h"

// The main window's list file commands: load, merge, save and save as.
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QUrl>
#include <ctime>

#include "corvale/text_ids.h"
#include "engine/notifications.h"
#include "model/download_fields.h"
#include "model/edit_rules.h"
#include "model/help_file.h"
#include "model/list_file.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/profile.h"
#include "platform/prompter.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"
#include "ui/common/window_target.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/load_or_merge_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/dialogs/schedule_dlg.h"

namespace corvale {

namespace {

// Reads a list file that is to replace the list: a list another program holds
// is read read-only when the user agrees; a failure is said. No value: the
// list stays as it is.
std::optional<List_file> read_new_list(const Download_list& list, Prompter& prompter,
                                       const std::wstring& path) {
    try {
        return read_list_file(list, path, false);
    } catch (const List_in_use&) {
        if (!prompter.ask_yes_no(format_message(texts::open_read_only, {embed_data(path)}))) {
            return std::nullopt;
        }
    } catch (const Settings_file_error& error) {
        prompter.show_message(error.message());
        return std::nullopt;
    }
    try {
        return read_list_file(list, path, false, List_access::read_only);
    } catch (const Settings_file_error& error) {
        prompter.show_message(error.message());
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::wstring> CTollwayDlg::load_last_list() {
    const Last_list loaded = corvale::load_last_list(services_.list, view_);
    if (loaded.loaded) {
        update_title();
    }
    if (loaded.in_use) {
        // Another program holds it: asked about once the window is up.
        open_list_file(services_.profile.read_string(k_settings_section, k_last_list_key, L""));
        return std::nullopt;
    }
    return loaded.failure;
}

bool CTollwayDlg::save_list_command() {
    Download_list& list = services_.list;
    // A read-only list (another program holds its file) goes elsewhere.
    if (list.list_path().empty() || list.read_only()) {
        return save_list_as_command();
    }
    Save_failure failure = Save_failure::none;
    if (!corvale::save_list(list, list.list_path(), &failure)) {
        const bool elsewhere =
            failure == Save_failure::not_replaceable || failure == Save_failure::in_use;
        if (elsewhere && services_.prompter.ask_yes_no(load_string(texts::save_elsewhere))) {
            return save_list_as_command();
        }
        return false;
    }
    update_title();
    return true;
}

std::optional<std::wstring> CTollwayDlg::choose_list_file(int title, bool saving) {
    if (services_.choose_list_file) {
        return services_.choose_list_file(this, title, saving);
    }
    // One filter, "*.zrv" as the first name, "zrv" added to a name without
    // it, and a question before an existing file is overwritten.
    QFileDialog dialog(this, text(title),
                       to_qt_path(user_start_folder(Start_for::lists, services_.profile)),
                       text(texts::list_filter));
    dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("zrv");
    dialog.selectFile("*.zrv");
    prepare_file_dialog(dialog);
    if (services_.prompter.exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return from_qt_path(dialog.selectedFiles().front());
}

bool CTollwayDlg::save_list_as_command() {
    const auto path = choose_list_file(texts::save_list_as_title, true);
    if (!path || !corvale::save_list(services_.list, *path)) {
        return false;
    }
    update_title();
    return true;
}

void CTollwayDlg::load_command() {
    int choice = CLoad_or_merge_dlg::load;
    if (table_->rowCount() > 0) {
        CLoad_or_merge_dlg dialog(this);
        services_.prompter.exec(dialog);
        choice = dialog.choice();
    }
    Download_list& list = services_.list;
    const auto failed = [&](const Settings_file_error& error) {
        services_.prompter.show_message(error.message());
    };
    if (choice == CLoad_or_merge_dlg::merge) {
        const auto path = choose_list_file(texts::merge_list_title, false);
        if (!path) {
            return;  // nothing changes: the list keeps its path and title
        }
        try {
            load_list(list, *path, true);
        } catch (const Settings_file_error& error) {
            failed(error);
            return;
        }
        list.fill_missing_rows(view_);
        update_title();
        return;
    }
    if (choice != CLoad_or_merge_dlg::load) {
        return;
    }
    replace_list([this] { return choose_list_file(texts::load_list_title, false); });
}

void CTollwayDlg::open_list_file(const std::wstring& path) {
    services_.prompter.when_free([this, path] {
        if (control_->busy() || control_->closing()) {
            return;  // a deletion or the close sequence is under way
        }
        replace_list([&path] { return std::optional<std::wstring>(path); });
    });
}

void CTollwayDlg::replace_list(const std::function<std::optional<std::wstring>()>& choose) {
    Download_list& list = services_.list;
    if (list.modified() && services_.prompter.ask_yes_no(load_string(texts::confirm_save_list))) {
        if (!save_list_command()) {
            return;  // the list was not saved, so it is not given up
        }
    }
    // A cancelled choice leaves the list, its path, its title and its
    // downloads as they were.
    const auto path = choose();
    if (!path) {
        return;
    }
    // The file is read first: one that cannot be loaded stops nothing.
    std::optional<List_file> read = read_new_list(list, services_.prompter, *path);
    if (!read) {
        return;
    }
    if (control_->automatic_active()) {
        control_->cancel_automatic();
    }
    control_->stop_all();
    table_->setRowCount(0);
    apply_list_file(list, std::move(*read));
    list.fill_rows(view_);
    update_title();
}

}  // namespace corvale
