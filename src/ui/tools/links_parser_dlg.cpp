#include "ui/tools/links_parser_dlg.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "corvale/text_ids.h"
#include "model/row_texts.h"
#include "ui/common/data_cell_delegate.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/ui_text.h"
#include "ui/common/window_target.h"

namespace corvale {

namespace {

constexpr int k_placeholder_fields = 5;  // "....."

struct Grab_column {
    int title;
    int width;
};
constexpr Grab_column k_columns[gcol_count] = {
    {texts::column_title_first, 40},    {texts::column_title_url, 350},
    {texts::column_title_status, 140},  {texts::column_title_file_name, 190},
    {texts::column_title_est_size, 80}, {texts::column_title_retries, 60},
};

}  // namespace

// Receives the notices of one fetch. Retired (and deleted later) when the
// fetch is stopped, so a notice still queued for it is dropped.
class Links_parser_dlg::Fetch_relay : public QObject {
  public:
    explicit Fetch_relay(Links_parser_dlg* window) : window_(window) {}
    void retire() { window_ = nullptr; }
    bool event(QEvent* event) override {
        if (event->type() != Notification_event::type) {
            return QObject::event(event);
        }
        if (window_ != nullptr) {
            const Notification& notice = static_cast<Notification_event*>(event)->notification;
            window_->on_notice(notice.kind, notice.sender, notice.value);
        }
        return true;
    }

  private:
    Links_parser_dlg* window_;
};

Links_parser_dlg::Links_parser_dlg(Prompter& prompter, Profile& profile, Callbacks callbacks,
                                   Settings_source settings)
    : QDialog(nullptr),
      prompter_(prompter),
      profile_(profile),
      callbacks_(std::move(callbacks)),
      settings_(settings_or_default(std::move(settings))),
      choose_folder_([this](QWidget* owner) {
          return choose_folder(owner, texts::select_download_folder, browse_start());
      }),
      grabber_(*this, *this, settings_->current().host) {
    setObjectName("links_grabber");
    setWindowTitle(text(texts::grabber_title));
    setWindowFlag(Qt::WindowMinMaxButtonsHint);
    setModal(false);
    build();
}

Links_parser_dlg::~Links_parser_dlg() {
    stop_fetch();
}

void Links_parser_dlg::build() {
    auto* layout = new QVBoxLayout(this);
    const auto button = [this](int label) {
        auto* made = new QPushButton(text(label), this);
        made->setAutoDefault(false);
        return made;
    };

    auto* page_row = new QHBoxLayout;
    page_url_ = new QLineEdit(this);
    page_url_->setLayoutDirection(Qt::LeftToRight);  // an address reads left to right
    page_row->addWidget(field_caption(texts::grabber_page_url, page_url_, this));
    page_row->addWidget(page_url_, 1);
    get_links_ = button(texts::get_links);
    paste_ = button(texts::paste_links);
    page_row->addWidget(get_links_);
    page_row->addWidget(paste_);
    layout->addLayout(page_row);

    list_ = new QTableWidget(0, gcol_count, this);
    QStringList headers;
    for (const Grab_column& column : k_columns) {
        headers << text(column.title);
    }
    list_->setHorizontalHeaderLabels(headers);
    // Each column as wide as the window asks, or as its header when that is
    // wider (the Arabic headers are).
    const QFontMetrics metrics = list_->horizontalHeader()->fontMetrics();
    for (int column = 0; column < gcol_count; ++column) {
        const int header =
            metrics.horizontalAdvance(headers[column]) + 2 * metrics.averageCharWidth();
        list_->setColumnWidth(column, std::max(k_columns[column].width, header));
    }
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setShowGrid(true);
    list_->verticalHeader()->setVisible(false);
    list_->horizontalHeader()->setSectionsMovable(true);
    list_->horizontalHeader()->setStretchLastSection(true);
    list_->setItemDelegate(new Data_cell_delegate(list_));
    // Tab leaves the list for the fields and buttons; the arrows move in it.
    list_->setTabKeyNavigation(false);
    layout->addWidget(field_caption(texts::links_found, list_, this));
    layout->addWidget(list_, 1);

    auto* fields = new QGridLayout;
    folder_ = new QLineEdit(this);
    folder_->setLayoutDirection(Qt::LeftToRight);
    browse_ = button(texts::grabber_browse);
    description_ = new QLineEdit(this);
    fields->addWidget(field_caption(texts::destination_folder, folder_, this), 0, 0);
    fields->addWidget(folder_, 0, 1);
    fields->addWidget(browse_, 0, 2);
    fields->addWidget(field_caption(texts::grabber_description, description_, this), 1, 0);
    fields->addWidget(description_, 1, 1, 1, 2);
    layout->addLayout(fields);

    auto* buttons = new QHBoxLayout;
    verify_ = button(texts::verify_selected);
    add_ = button(texts::add_selected);
    close_ = button(texts::grabber_close);
    buttons->addWidget(verify_);
    buttons->addWidget(add_);
    buttons->addStretch(1);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    auto* state = new QHBoxLayout;
    status_ = new Value_label(this, QString(k_placeholder_fields, QChar('.')));
    status_->setWordWrap(true);
    retries_ = new Value_label(this, QString(k_placeholder_fields, QChar('.')));
    state->addWidget(value_caption(texts::grabber_status, status_, this));
    state->addWidget(status_, 1);
    state->addWidget(value_caption(texts::grabber_retries, retries_, this));
    state->addWidget(retries_);
    layout->addLayout(state);
    resize(900, 520);

    connect(get_links_, &QPushButton::clicked, this, [this] {
        grabber_.get_links(page_url_->text().toStdWString());
        follow_busy();
    });
    connect(page_url_, &QLineEdit::returnPressed, get_links_, &QPushButton::click);
    connect(paste_, &QPushButton::clicked, this, &Links_parser_dlg::paste_from_clipboard);
    connect(verify_, &QPushButton::clicked, this, [this] {
        grabber_.verify();
        follow_busy();
    });
    connect(add_, &QPushButton::clicked, this, [this] {
        grabber_.add(from_qt_path(folder_->text()));
        follow_busy();
    });
    connect(browse_, &QPushButton::clicked, this, &Links_parser_dlg::browse);
    connect(close_, &QPushButton::clicked, this, &Links_parser_dlg::try_close);
}

QString Links_parser_dlg::status_text() const {
    return status_->text();
}

QString Links_parser_dlg::retries_text() const {
    return retries_->text();
}

void Links_parser_dlg::paste_from_clipboard() {
    const QClipboard* clipboard = QGuiApplication::clipboard();
    if (clipboard == nullptr) {
        return;
    }
    paste_links(clipboard->text());
}

bool Links_parser_dlg::paste_links(const QString& text) {
    if (!paste_->isEnabled()) {
        return false;
    }
    grabber_.paste_links(text.toStdWString());
    follow_busy();
    return true;
}

std::wstring Links_parser_dlg::browse_start() const {
    return user_start_folder(Start_for::downloads, profile_, from_qt_path(folder_->text()));
}

void Links_parser_dlg::browse() {
    if (const auto folder = choose_folder_(this)) {
        folder_->setText(qt(*folder));
        remember_download_folder(profile_, *folder);
    }
}

void Links_parser_dlg::follow_busy() {
    list_->setSelectionMode(grabber_.busy() ? QAbstractItemView::NoSelection
                                            : QAbstractItemView::ExtendedSelection);
}

void Links_parser_dlg::on_notice(std::uint32_t message, std::int64_t wparam, std::int64_t lparam) {
    grabber_.notify(message, static_cast<std::int32_t>(wparam), lparam);
    follow_busy();
}

std::optional<Grabbed_link> Links_parser_dlg::next_link(int& cursor) const {
    return grabber_.next_link(cursor, from_qt_path(folder_->text()),
                              description_->text().toStdWString());
}

bool Links_parser_dlg::try_close() {
    if (close_requested_) {
        return true;
    }
    const bool closes = grabber_.close();
    follow_busy();
    return closes;
}

void Links_parser_dlg::reject() {
    try_close();  // Escape: the main window destroys the window
}

void Links_parser_dlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    try_close();
}

// The links list.

int Links_parser_dlg::item_count() const {
    return list_->rowCount();
}

void Links_parser_dlg::append_item(const std::wstring& number, const std::wstring& link) {
    const int row = list_->rowCount();
    list_->insertRow(row);
    for (int column = 0; column < gcol_count; ++column) {
        list_->setItem(row, column, new QTableWidgetItem);
    }
    list_->item(row, gcol_number)->setText(qt(number));
    list_->item(row, gcol_link)->setText(qt(link));
}

std::wstring Links_parser_dlg::item_text(int item, int column) const {
    const QTableWidgetItem* cell = list_->item(item, column);
    return cell == nullptr ? std::wstring() : cell->text().toStdWString();
}

void Links_parser_dlg::set_item_text(int item, int column, const std::wstring& text) {
    if (QTableWidgetItem* cell = list_->item(item, column)) {
        // A size reads as the download list's sizes, in the window's language.
        cell->setText(qt(column == gcol_size ? page_size_text(text) : text));
    }
}

bool Links_parser_dlg::is_selected(int item) const {
    return list_->selectionModel()->isRowSelected(item, QModelIndex());
}

void Links_parser_dlg::deselect(int item) {
    list_->selectionModel()->select(list_->model()->index(item, 0),
                                    QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

// The fetches and the window's parts.

bool Links_parser_dlg::start_fetch(std::int32_t id, const std::wstring& url) {
    stop_fetch();
    relay_ = std::make_unique<Fetch_relay>(this);
    auto target = std::make_shared<Window_target>(relay_.get());
    fetch_ = std::make_unique<Page_fetcher>(id, url, target, settings_);
    if (!fetch_->created() || !fetch_->resume()) {
        stop_fetch();
        return false;
    }
    return true;
}

void Links_parser_dlg::stop_fetch() {
    if (fetch_) {
        fetch_->stop();
        fetch_.reset();
    }
    if (relay_) {
        // A notice may be running on the relay right now: it is deleted once
        // control is back in the event loop, and drops what is still queued.
        relay_->retire();
        relay_.release()->deleteLater();
    }
}

std::wstring Links_parser_dlg::fetch_status() {
    return fetch_ ? fetch_->status_text() : std::wstring();
}

std::uint64_t Links_parser_dlg::fetch_received() {
    return fetch_ ? fetch_->take_progress().downloaded : 0;
}

std::string_view Links_parser_dlg::fetch_page() {
    return fetch_ ? fetch_->page_data() : std::string_view();
}

void Links_parser_dlg::post_finished(std::int32_t id, std::int64_t outcome) {
    if (relay_) {
        QCoreApplication::postEvent(relay_.get(),
                                    new Notification_event({UM_FINISHED, id, outcome}));
    }
}

void Links_parser_dlg::set_enabled(Grabber_button button, bool enabled) {
    QPushButton* target = nullptr;
    switch (button) {
        case Grabber_button::get_links:
            target = get_links_;
            break;
        case Grabber_button::paste:
            target = paste_;
            break;
        case Grabber_button::verify:
            target = verify_;
            break;
        case Grabber_button::add:
            target = add_;
            break;
        case Grabber_button::browse:
            target = browse_;
            break;
    }
    target->setEnabled(enabled);
}

void Links_parser_dlg::set_get_links_caption(int id) {
    get_links_->setText(text(id));
}

void Links_parser_dlg::set_verify_caption(int id) {
    verify_->setText(text(id));
}

void Links_parser_dlg::set_status(const std::wstring& text) {
    status_->set_value(qt(text));
}

void Links_parser_dlg::set_retries(const std::wstring& text) {
    retries_->set_value(qt(text));
}

void Links_parser_dlg::show_message(const std::wstring& text) {
    prompter_.show_message(text);
}

bool Links_parser_dlg::ask_yes_no(const std::wstring& text) {
    return prompter_.ask_yes_no(text);
}

// The folder has been checked to exist by now.
void Links_parser_dlg::add_grabbed_links() {
    remember_download_folder(profile_, from_qt_path(folder_->text()));
    if (callbacks_.add_links) {
        callbacks_.add_links(*this);
    }
}

void Links_parser_dlg::request_close() {
    close_requested_ = true;
    hide();
    if (callbacks_.closed) {
        callbacks_.closed();
    }
}

}  // namespace corvale
