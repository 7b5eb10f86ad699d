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
#include "engine/list_flow.h"
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
    return corvale::save_list_command(services_.list, *this);
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
    return corvale::save_list_as_command(services_.list, *this);
}

void CTollwayDlg::load_command() {
    int choice = CLoad_or_merge_dlg::load;
    if (table_->rowCount() > 0) {
        CLoad_or_merge_dlg dialog(this);
        services_.prompter.exec(dialog);
        choice = dialog.choice();
    }
    if (choice == CLoad_or_merge_dlg::merge) {
        merge_list_command(services_.list, view_, *this);
    } else if (choice == CLoad_or_merge_dlg::load) {
        replace_list([this] { return choose_list_file(texts::load_list_title, false); });
    }
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
    if (corvale::replace_list(services_.list, view_, *control_, *this, choose) && limits_) {
        // Own limits belong to the downloads of the list that is gone.
        limits_->clear_own();
    }
}

}  // namespace corvale
