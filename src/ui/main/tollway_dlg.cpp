#include "ui/main/tollway_dlg.h"

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
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QUrl>
#include <algorithm>
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
#include "ui/common/desktop_notifier.h"
#include "ui/common/field_caption.h"
#include "ui/common/file_dialogs.h"
#include "ui/common/icons.h"
#include "ui/common/ui_text.h"
#include "ui/common/window_target.h"
#include "ui/dialogs/add_new_download_dlg.h"
#include "ui/dialogs/load_or_merge_dlg.h"
#include "ui/dialogs/modify_download_properties.h"
#include "ui/dialogs/schedule_dlg.h"
#include "ui/main/tray_icon.h"

namespace corvale {

namespace {

constexpr int k_tip_period_ms = 10000;
// The tips follow each other in the string table; the status line shows them
// in that order.
static_assert(texts::tip_double_click == texts::tip_first + 1 &&
              texts::tip_links_grabber == texts::tip_first + 2 &&
              texts::tip_last == texts::tip_first + 3);
constexpr int k_control_wait_ms = 300;
// Each download's progress is taken at most every 100 ms (Progress_pace);
// looking for progress that waits five times as often keeps the downloads'
// turns apart, so that twenty windows do not all redraw in one go.
constexpr int k_progress_pace_ms = 20;

// The toolbar buttons whose states the busy state remembers, in its order.
constexpr int k_busy_buttons[] = {
    cmd_load_list,    cmd_save_list,     cmd_links_grabber,    cmd_delete,    cmd_edit,
    cmd_add_download, cmd_add_to_auto,   cmd_remove_from_auto, cmd_scheduler, cmd_download,
    cmd_stop,         cmd_check_updates, cmd_help_button,
};

}  // namespace

CTollwayDlg::CTollwayDlg(Services services, QWidget* parent)
    : QMainWindow(parent),
      services_(std::move(services)),
      view_(*(table_ = new QTableWidget(this))) {
    setObjectName("CORVALE");
    setWindowIcon(program_icon("corvale"));
    setPalette([this] {
        QPalette palette = this->palette();
        palette.setColor(QPalette::Window, QColor(249, 249, 249));
        return palette;
    }());
    target_ = std::make_shared<Window_target>(this);
    control_ = std::make_unique<Download_control>(services_.list, view_,
                                                  static_cast<Control_host&>(*this));
    for (QTimer* wait : {&close_wait_, &delete_wait_}) {
        wait->setSingleShot(true);
        wait->setInterval(k_control_wait_ms);
    }
    // A timer that fires while a question is open acts once it has closed.
    const auto when_free = [this](std::function<void()> action) {
        return [this, action = std::move(action)] { services_.prompter.when_free(action); };
    };
    connect(&close_wait_, &QTimer::timeout, this,
            when_free([this] { control_->tick(Control_timer::close_wait); }));
    connect(&delete_wait_, &QTimer::timeout, this,
            when_free([this] { control_->tick(Control_timer::delete_wait); }));
    start_poll_.setInterval(k_start_poll_ms);
    connect(&start_poll_, &QTimer::timeout, this,
            when_free([this] { scheduler_.start_tick(clock_()); }));
    stop_timer_.setSingleShot(true);
    connect(&stop_timer_, &QTimer::timeout, this,
            when_free([this] { scheduler_.stop_tick(clock_()); }));
    // While downloads run: progress that waited for its turn is taken.
    progress_pace_.setInterval(k_progress_pace_ms);
    connect(&progress_pace_, &QTimer::timeout, this, [this] {
        control_->take_waiting_progress();
        const bool done = control_->open_windows() == 0;
        if (done) {
            progress_pace_.stop();
        }
        if (tray_) {
            tray_->refresh_tooltip(done);
        }
    });
    limits_ = services_.settings ? services_.settings->current().speed_limits : nullptr;
    // The toolbar's actions come first, so that action() finds a button.
    build_toolbar();
    build_menus();
    build_list();
    build_context_menu();
    wire_commands();
    build_drops_and_open_file();

    status_ = new QLabel(text(texts::tip_initial), this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setMinimumHeight(25);
    tips_.setInterval(k_tip_period_ms);
    connect(&tips_, &QTimer::timeout, this, &CTollwayDlg::show_next_tip);
    tips_.start();
    build_limits();

    setCentralWidget(table_);
    // Tab goes from the list along the toolbar to the status line and back.
    status_->setFocusPolicy(Qt::TabFocus);
    QWidget* previous = table_;
    for (QAction* item : toolbar_->actions()) {
        if (QWidget* button = toolbar_->widgetForAction(item); !item->isSeparator() && button) {
            setTabOrder(previous, button);
            previous = button;
        }
    }
    setTabOrder(previous, status_);
    setTabOrder(status_, limit_status_);
    build_notifications();
    restore_layout();
    update_title();
    build_tray();
}

CTollwayDlg::~CTollwayDlg() {
    tray_.reset();
    grabber_.reset();        // stops its page fetch
    update_window_.reset();  // ends a check that still runs
    control_.reset();        // stops every download and its worker first
    target_->close();
}

CDownload_dlg* CTollwayDlg::progress_window(std::int32_t download_number) {
    return dynamic_cast<CDownload_dlg*>(control_->window_of(download_number));
}

std::unique_ptr<Download_window> CTollwayDlg::make_window(std::int32_t download_number) {
    progress_pace_.start();
    Progress_window_host& host = *this;
    auto window = std::make_unique<CDownload_dlg>(host, services_.prompter, download_number,
                                                  services_.settings);
    window->move(cascade_position());
    window->set_file_opener([this](const std::wstring& path) {
        services_.prompter.when_free([this, path] { open_downloaded_file(path); });
    });
    return window;
}

QPoint CTollwayDlg::cascade_position() {
    constexpr int k_steps = 10;
    constexpr QPoint k_step(28, 28);
    const QRect screen = this->screen()->availableGeometry();
    QPoint position = frameGeometry().topLeft() + QPoint(40, 40) + k_step * cascade_step_;
    // A window that would start off the screen's lower right part starts the
    // cascade again.
    if (!screen.contains(position + QPoint(200, 120))) {
        cascade_step_ = 0;
        position = frameGeometry().topLeft() + QPoint(40, 40);
    }
    cascade_step_ = (cascade_step_ + 1) % k_steps;
    return position;
}

void CTollwayDlg::post_start(std::int32_t download_number) {
    // Sent by the queue (1): a step of it, dropped if the queue has moved on.
    QCoreApplication::postEvent(this,
                                new Notification_event({UM_START_DOWNLOAD, 1, download_number}));
}

void CTollwayDlg::release_window(std::unique_ptr<Download_window> window) {
    release_later(std::move(window));
}

template <typename Window>
void CTollwayDlg::release_later(std::unique_ptr<Window> window) {
    if (auto* shown = dynamic_cast<QWidget*>(window.get())) {
        shown->hide();
    }
    released_.emplace_back(std::move(window));
    services_.prompter.when_free([this] { released_.clear(); });
}

void CTollwayDlg::post_window_closed(std::int32_t download_number) {
    // The window is named by its download's number; the control releases only
    // windows it still holds, so a late or second request is harmless.
    post_message(UM_DOWNLOAD_WINDOW_CLOSED, download_number);
}

void CTollwayDlg::arm_timer(Control_timer timer) {
    (timer == Control_timer::close_wait ? close_wait_ : delete_wait_).start();
}

void CTollwayDlg::kill_timer(Control_timer timer) {
    (timer == Control_timer::close_wait ? close_wait_ : delete_wait_).stop();
}

void CTollwayDlg::for_each_action(int command, const std::function<void(QAction&)>& apply) {
    for (auto [it, end] = actions_.equal_range(command); it != end; ++it) {
        apply(*it->second);
    }
}

// Each command's state follows from what is going on, so that nothing that
// changed while the window was busy (the queue ended, the grabber closed) is
// undone when it is no longer busy.
bool CTollwayDlg::available(int command, const QAction& item) const {
    if (handlers_.count(command) == 0) {
        return false;
    }
    if (control_->busy() && std::find(std::begin(k_busy_buttons), std::end(k_busy_buttons),
                                      command) != std::end(k_busy_buttons)) {
        return false;
    }
    switch (command) {
        case cmd_remove_from_auto:
            // The toolbar button waits for automatic downloading; the context
            // menu's item also takes rows off a queue that waits for the
            // scheduler.
            return !toolbar_->actions().contains(&item) || control_->automatic_active();
        case cmd_links_grabber:
            return grabber_ == nullptr;
        case cmd_check_updates_menu:
            return update_window_ == nullptr;
        case cmd_open_file:
            return can_open_file();
        default:
            return true;
    }
}

void CTollwayDlg::update_commands() {
    const bool busy = control_->busy();
    // The items of a menu that is greyed are greyed with it (a screen reader
    // reads them one by one).
    const auto greyed = [&](const QAction* item) {
        return busy && std::any_of(busy_menus_.begin(), busy_menus_.end(),
                                   [&](QMenu* menu) { return menu->actions().contains(item); });
    };
    for (const auto& [command, item] : actions_) {
        item->setEnabled(available(command, *item) && !greyed(item));
    }
    // A busy list is disabled and loses the keyboard; it takes it back when
    // the work ends, unless the user has moved on to another control.
    const bool had_keyboard = table_->hasFocus();
    table_->setEnabled(!busy);
    if (busy && had_keyboard) {
        list_lost_keyboard_ = true;
    } else if (!busy && list_lost_keyboard_) {
        list_lost_keyboard_ = false;
        QWidget* now = focusWidget();
        if (now == nullptr || now == status_ || now == table_) {
            table_->setFocus(Qt::OtherFocusReason);
        }
    }
    for (QMenu* menu : busy_menus_) {
        menu->menuAction()->setEnabled(!busy);
    }
    menuBar()->update();
}

void CTollwayDlg::enter_busy() {
    update_commands();
}

void CTollwayDlg::leave_busy() {
    update_commands();
}

void CTollwayDlg::arm_stop(std::int64_t delay_ms) {
    stop_timer_.start(static_cast<int>(delay_ms));
}

void CTollwayDlg::set_button_checked(bool checked) {
    const QScopedValueRollback<bool> quiet(setting_scheduler_check_, true);
    for_each_action(cmd_scheduler, [&](QAction& item) { item.setChecked(checked); });
}

void CTollwayDlg::set_button_armed(bool armed) {
    const QIcon icon = program_icon(armed ? "scheduler_armed" : "scheduler");
    for_each_action(cmd_scheduler, [&](QAction& item) { item.setIcon(icon); });
}

void CTollwayDlg::start_queue() {
    show_schedule();
    control_->set_scheduler_waiting(false);
    control_->queue_rows(selected_rows());
}

void CTollwayDlg::stop_downloads() {
    if (control_->automatic_active()) {
        control_->cancel_automatic();
    }
    control_->stop_all();
}

void CTollwayDlg::tell_stopped() {
    services_.prompter.show_message(load_string(texts::stopped_by_timer));
}

void CTollwayDlg::scheduler_command(bool checked) {
    if (!checked) {
        scheduler_.switch_off();
        control_->set_scheduler_waiting(false);
        show_schedule();
        return;
    }
    CSchedule_dlg dialog(services_.prompter, this, clock_);
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        set_button_checked(false);
        return;
    }
    scheduler_.arm(dialog.start(), dialog.stop());
    control_->set_scheduler_waiting(true);
    show_schedule();
}

void CTollwayDlg::show_schedule() {
    QString tip = text(texts::tooltip_scheduler);
    if (scheduler_.waiting_for_start()) {
        const QString when = QDateTime::fromSecsSinceEpoch(scheduler_.start_instant())
                                 .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString line =
            qt(format_message(texts::schedule_pending, {embed_data(when.toStdWString())}));
        tip += '\n' + line;
        status_->setText(line);
    } else {
        status_->setText(text(shown_tip_));
    }
    for_each_action(cmd_scheduler, [&](QAction& item) { item.setToolTip(tip); });
}

void CTollwayDlg::enter_closing() {
    notice_timer_.stop();
    notices_.clear();
    scheduler_.close();
    show_schedule();
    control_->set_scheduler_waiting(false);
    update_commands();
}

void CTollwayDlg::close_tools() {
    // The tool windows are asked to close: the grabber may ask whether to
    // cancel its verification, and closing waits for it; the update window
    // refuses while a check runs and is destroyed with this window.
    if (grabber_) {
        grabber_->try_close();
    }
    if (update_window_) {
        update_window_->close();
    }
}

void CTollwayDlg::set_unqueue_enabled(bool) {
    update_commands();
}

void CTollwayDlg::end() {
    ended_ = true;
    if (!in_close_event_) {
        QMetaObject::invokeMethod(
            this, [this] { close(); }, Qt::QueuedConnection);
    }
}

void CTollwayDlg::add_command(const std::wstring& link) {
    Add_new_download_dlg dialog(services_.prompter, services_.profile, this);
    if (!link.empty()) {
        dialog.url_edit().setText(qt(link));
    }
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    const Download_fields& added = dialog.fields();
    if (services_.list.add_download_with_check(added.folder, added.url, added.file_name,
                                               added.description, view_)) {
        remember_download_folder(services_.profile, added.folder);
    }
}

void CTollwayDlg::edit_command() {
    std::vector<std::int32_t> numbers;
    for (const int row : selected_rows()) {
        numbers.push_back(view_.item_data(row));
    }
    const Edit_start start = begin_edit(services_.list, numbers);
    if (!start.open) {
        if (start.refusal != 0) {
            services_.prompter.show_message(load_string(start.refusal));
        }
        return;
    }
    Modify_download_properties dialog(services_.prompter, services_.profile, start.shown,
                                      start.several, this);
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    apply_edit(services_.list, view_, numbers, start, dialog.fields());
}

void CTollwayDlg::start_selected() {
    for (const int row : selected_rows()) {
        post_message(UM_START_DOWNLOAD, view_.item_data(row));
    }
}

void CTollwayDlg::stop_selected() {
    for (const int row : selected_rows()) {
        const std::int32_t number = view_.item_data(row);
        if (!control_->is_queued(number)) {
            control_->stop_download(number);
        }
    }
}

void CTollwayDlg::run_command(int command, const QAction* from) {
    // Never inside the handler that received it (a screen reader's press
    // returns at once), and never while a question is open.
    services_.prompter.when_free([this, command, from] { dispatch(command, from); });
}

void CTollwayDlg::dispatch(int command, const QAction* from) {
    const auto handler = handlers_.find(command);
    if (handler == handlers_.end() || control_->closing()) {
        return;
    }
    // A command that waited may have been switched off meanwhile (the busy
    // state of a deletion): it is refused as its button would be.
    const QAction* item = from != nullptr ? from : action(command);
    if (item != nullptr && !item->isEnabled() && command != cmd_exit) {
        return;
    }
    handler->second();
}

void CTollwayDlg::update_title() {
    QString title = text(texts::main_window_title);
    if (!services_.list.list_path().empty()) {
        title += "    " + qt(embed_data(services_.list.list_path()));
    }
    setWindowTitle(title);
}

QString CTollwayDlg::status_text() const {
    return status_->text();
}

void CTollwayDlg::show_next_tip() {
    if (scheduler_.waiting_for_start()) {
        tips_.start();  // the pending start stays in the status line
        return;
    }
    shown_tip_ = next_tip_;
    status_->setText(text(shown_tip_));
    next_tip_ = next_tip_ >= texts::tip_last ? texts::tip_first : next_tip_ + 1;
    tips_.start();  // a full period from now
}

void CTollwayDlg::post_message(std::uint32_t message, std::int64_t lparam) {
    QCoreApplication::postEvent(this, new Notification_event({message, 0, lparam}));
}

bool CTollwayDlg::event(QEvent* event) {
    if (event->type() != Notification_event::type) {
        return QMainWindow::event(event);
    }
    const Notification& notification = static_cast<Notification_event*>(event)->notification;
    const std::uint32_t message = notification.kind;
    if (message >= UM_PROGRESS && message <= UM_LAST_ERROR) {
        control_->notify(message, static_cast<std::int32_t>(notification.sender),
                         notification.value);
    } else if (message == UM_START_DOWNLOAD) {
        // A start waits while a question is open, as every command does.
        const auto number = static_cast<std::int32_t>(notification.value);
        const bool queue_step = notification.sender == 1;
        services_.prompter.when_free([this, number, queue_step] {
            emit start_download_requested(number);
            if (queue_step) {
                control_->start_queued(number);
            } else {
                control_->start_download(number);
            }
        });
    } else if (message == UM_DOWNLOAD_WINDOW_CLOSED) {
        // The control forgets the window at once and hands it back to be
        // freed once no question is open.
        control_->window_closed(static_cast<std::int32_t>(notification.value));
    } else if (message == UM_LINKS_GRABBER_CLOSED && grabber_) {
        release_later(std::unique_ptr<QWidget>(grabber_.release()));
        update_commands();
        raise();
        activateWindow();
    } else if (message == UM_UPDATE_CHECK_CLOSED && update_window_) {
        release_later(std::unique_ptr<QWidget>(update_window_.release()));
        update_commands();
    }
    return true;
}

void CTollwayDlg::closeEvent(QCloseEvent* event) {
    // The control asks, stops every download and waits for their windows;
    // the window closes once it says the wait is over. A close that comes
    // while a question is open waits for it.
    if (!ended_ && services_.prompter.open()) {
        event->ignore();
        services_.prompter.when_free([this] { close(); });
        return;
    }
    if (!ended_ && closes_to_tray()) {
        event->ignore();
        hide_to_tray();
        return;
    }
    if (!ended_) {
        in_close_event_ = true;
        control_->close();
        if (control_->closing()) {
            control_->tick(Control_timer::close_wait);  // nothing to wait for: at once
        }
        in_close_event_ = false;
    }
    if (!ended_) {
        event->ignore();
        return;
    }
    tips_.stop();
    store_layout();
    event->accept();
    leave_tray();
}

}  // namespace corvale
