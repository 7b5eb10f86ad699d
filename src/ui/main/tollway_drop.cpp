#include "ui/main/tollway_dlg.h"

// The main window's drops on the list (a list file, one link, several links)
// and the downloaded files it opens.
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTableWidget>
#include <QUrl>
#include <filesystem>
#include <system_error>

#include "corvale/text_ids.h"
#include "model/row_texts.h"
#include "platform/file_io.h"
#include "platform/string_table.h"
#include "tools/dropped_links.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"
#include "ui/dialogs/add_new_download_dlg.h"

namespace corvale {

namespace {

Dropped classify(const QMimeData* data, const Settings_source& settings) {
    if (data == nullptr) {
        return {};
    }
    std::vector<std::wstring> files;
    std::vector<std::wstring> links;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile()) {
            files.push_back(from_qt_path(url.toLocalFile()));
        } else {
            links.push_back(url.toString().toStdWString());
        }
    }
    const std::wstring text = data->hasText() ? data->text().toStdWString() : std::wstring();
    return classify_drop(files, links, text, settings_or_default(settings)->current().host);
}

}  // namespace

void CTollwayDlg::build_drops_and_open_file() {
    table_->viewport()->setAcceptDrops(true);
    view_.set_progress([this](std::int32_t number) -> std::optional<double> {
        const Download_record* record = services_.list.find(number);
        return record != nullptr ? progress_fraction(*record) : std::nullopt;
    });
    // Open File follows the selection, and is looked at again as the menu
    // opens: a download may have finished, or its file gone, meanwhile.
    const auto follow = [this] {
        for_each_action(cmd_open_file,
                        [this](QAction& item) { item.setEnabled(available(cmd_open_file, item)); });
    };
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this, follow);
    connect(context_menu_, &QMenu::aboutToShow, this, follow);
}

bool CTollwayDlg::take_drop(QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::DragLeave) {
        return true;
    }
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
        return false;
    }
    auto* drop = static_cast<QDropEvent*>(event);
    // A drag of a long text is not searched again at every move.
    Dropped what;
    if (type == QEvent::DragMove) {
        what.kind = dragged_;
    } else {
        what = classify(drop->mimeData(), services_.settings);
        dragged_ = what.kind;
    }
    // Nothing is taken while the list is busy or closing, a question is
    // open, or the grabber is busy with links of its own. The drop is a
    // copy: the program that gave it never deletes what it dropped.
    const bool taken = what.kind != Dropped::Kind::refused && !control_->busy() &&
                       !control_->closing() && !services_.prompter.open() &&
                       (drop->possibleActions() & Qt::CopyAction) &&
                       (what.kind != Dropped::Kind::several_links || grabber_ == nullptr ||
                        grabber_->paste_button().isEnabled());
    if (!taken) {
        drop->ignore();
        return true;
    }
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type != QEvent::Drop) {
        return true;
    }
    switch (what.kind) {
        case Dropped::Kind::list_file:
            open_list_file(what.value);  // asks about the modified list first
            break;
        case Dropped::Kind::one_link:
            services_.prompter.when_free([this, link = what.value] { add_dropped_link(link); });
            break;
        case Dropped::Kind::several_links:
            services_.prompter.when_free([this, text = what.value] { grab_dropped_links(text); });
            break;
        case Dropped::Kind::refused:
            break;
    }
    return true;
}

void CTollwayDlg::add_dropped_link(const std::wstring& link) {
    if (control_->busy() || control_->closing()) {
        return;  // began since the drop
    }
    add_command(link);
}

void CTollwayDlg::grab_dropped_links(const std::wstring& text) {
    if (control_->busy() || control_->closing()) {
        return;
    }
    open_links_grabber();
    if (grabber_) {
        grabber_->paste_links(qt(text));
    }
}

bool CTollwayDlg::can_open_file() const {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) {
        return false;
    }
    const Download_record* record = services_.list.find(view_.item_data(rows.front()));
    std::error_code error;
    return record != nullptr && finished_whole(*record) &&
           std::filesystem::is_regular_file(to_path(full_local_path(*record)), error);
}

void CTollwayDlg::open_file_command() {
    const std::vector<int> rows = selected_rows();
    if (rows.empty()) {
        return;
    }
    const Download_record* record = services_.list.find(view_.item_data(rows.front()));
    if (record != nullptr && finished_whole(*record)) {
        open_downloaded_file(full_local_path(*record));
    }
}

void CTollwayDlg::open_downloaded_file(const std::wstring& path) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(to_path(path), error)) {
        services_.prompter.show_message(format_message(texts::file_gone, {path}));
        return;
    }
    open_or_say(QUrl::fromLocalFile(to_qt_path(path)), texts::not_opened, path);
}

}  // namespace corvale
