#include "ui/main/tollway_dlg.h"

// The main window's tool windows and outside programs: the links grabber,
// the update window, the language, help, and opening files and folders.
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

void CTollwayDlg::open_links_grabber() {
    if (grabber_) {
        grabber_->raise();
        grabber_->activateWindow();
        return;
    }
    Links_parser_dlg::Callbacks callbacks;
    callbacks.add_links = [this](Links_parser_dlg& grabber) { add_grabbed_links(grabber); };
    callbacks.closed = [this] { post_message(UM_LINKS_GRABBER_CLOSED, 0); };
    grabber_ = std::make_unique<Links_parser_dlg>(services_.prompter, services_.profile,
                                                  std::move(callbacks), services_.settings);
    grabber_->setLayoutDirection(layoutDirection());
    update_commands();  // one grabber at a time
    grabber_->show();
}

// UM_ADD_GRABBED_LINKS: each selected link of the grabber through the add
// with its duplicate questions. A link whose file name cannot be a file name
// is refused with the Add dialog's message.
void CTollwayDlg::add_grabbed_links(Links_parser_dlg& grabber) {
    int cursor = grabber.first_cursor();
    while (const auto link = grabber.next_link(cursor)) {
        add_checked_download(services_.list, view_,
                             {link->link, link->folder, link->file_name, link->description});
    }
}

void CTollwayDlg::open_update_window() {
    if (update_window_) {  // one at a time: the open one comes to the front
        update_window_->raise();
        update_window_->activateWindow();
        return;
    }
    Update_source source = services_.update_source;
    if (source.server.empty()) {
        source = default_update_source();
    }
    update_window_ = std::make_unique<Update_check_dlg>(
        services_.prompter, std::move(source), [this] { post_message(UM_UPDATE_CHECK_CLOSED, 0); },
        this);
    update_commands();
    update_window_->show();
}

void CTollwayDlg::set_language(int language, int message) {
    services_.profile.write_int(k_settings_section, L"language", language);
    services_.prompter.show_message(load_string(message));
}

void CTollwayDlg::open_first_selected(bool folder) {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) {
        services_.prompter.show_message(
            load_string(folder ? texts::select_to_open_folder : texts::select_to_open_link));
        return;
    }
    const Download_record* record = services_.list.find(view_.item_data(rows.front()));
    if (record == nullptr) {
        return;
    }
    if (folder) {
        open_or_say(QUrl::fromLocalFile(qt(record->folder)), texts::not_opened, record->folder);
    } else {
        open_or_say(QUrl(qt(record->url)), texts::not_opened, record->url);
    }
}

void CTollwayDlg::open_help() {
    const std::filesystem::path file = help_file(services_.profile, services_.data_directory);
    if (!std::filesystem::is_regular_file(file)) {
        services_.prompter.show_message(format_message(texts::help_not_opened, {from_path(file)}));
        return;
    }
    open_or_say(QUrl::fromLocalFile(QFile::decodeName(file.c_str())), texts::help_not_opened,
                from_path(file));
}

void CTollwayDlg::open_or_say(const QUrl& target, int message, const std::wstring& what) {
    const bool opened =
        services_.open_url ? services_.open_url(target) : QDesktopServices::openUrl(target);
    if (!opened) {
        services_.prompter.show_message(format_message(message, {what}));
    }
}

}  // namespace corvale
