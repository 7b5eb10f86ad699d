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

constexpr int k_tip_period_ms = 10000;
// The tips follow each other in the string table; the status line shows them
// in that order.
static_assert(texts::tip_double_click == texts::tip_first + 1 &&
              texts::tip_links_grabber == texts::tip_first + 2 &&
              texts::tip_last == texts::tip_first + 3);
constexpr int k_pixels_per_character = 11;
constexpr int k_control_wait_ms = 300;
constexpr int k_progress_pace_ms = 100;

// The toolbar buttons whose states the busy state remembers, in its order.
constexpr int k_busy_buttons[] = {
    cmd_load_list,    cmd_save_list,     cmd_links_grabber,    cmd_delete,    cmd_edit,
    cmd_add_download, cmd_add_to_auto,   cmd_remove_from_auto, cmd_scheduler, cmd_download,
    cmd_stop,         cmd_check_updates, cmd_help_button,
};

// Columns whose width follows the length of their header text, and the fixed
// widths of the others.
constexpr int k_measured_columns[] = {0, 1, 5, 7, 8, 9, 10, 11};
constexpr std::pair<int, int> k_fixed_widths[] = {{2, 250}, {3, 160},  {4, 140},
                                                  {6, 90},  {12, 190}, {13, 390}};

struct Tool_button {
    int command;  // 0: a separator
    const char* icon;
    int tooltip;
};

constexpr Tool_button k_toolbar[] = {
    {cmd_save_list, "save", texts::tooltip_save_list},
    {cmd_load_list, "load", texts::tooltip_load_list},
    {0, nullptr, 0},
    {cmd_add_download, "add", texts::tooltip_add_download},
    {cmd_download, "download", texts::tooltip_start},
    {cmd_stop, "stop", texts::tooltip_stop},
    {0, nullptr, 0},
    {cmd_add_to_auto, "auto_add", texts::tooltip_add_to_auto},
    {cmd_remove_from_auto, "auto_remove", texts::tooltip_remove_from_auto},
    {cmd_scheduler, "scheduler", texts::tooltip_scheduler},
    {0, nullptr, 0},
    {cmd_edit, "edit", texts::tooltip_edit},
    {cmd_delete, "delete", texts::tooltip_delete},
    {0, nullptr, 0},
    {cmd_check_updates, "update", texts::tooltip_check_updates},
    {cmd_help_button, "help", texts::tooltip_help},
    {0, nullptr, 0},
    {cmd_links_grabber, "grabber", texts::tooltip_links_grabber},
};

// Loads the file as the new list. A file that another program holds opens
// read-only once the user agrees; No, like any failure, keeps the old list.
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
        if (control_->open_windows() == 0) {
            progress_pace_.stop();
        }
    });
    build_menus();
    build_toolbar();
    build_list();
    build_context_menu();
    wire_commands();

    status_ = new QLabel(text(texts::tip_initial), this);
    statusBar()->addWidget(status_, 1);
    statusBar()->setMinimumHeight(25);
    tips_.setInterval(k_tip_period_ms);
    connect(&tips_, &QTimer::timeout, this, &CTollwayDlg::show_next_tip);
    tips_.start();

    setCentralWidget(table_);
    resize(1000, 520);
    update_title();
}

CTollwayDlg::~CTollwayDlg() {
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
        default:
            return true;
    }
}

void CTollwayDlg::update_commands() {
    for (const auto& [command, item] : actions_) {
        item->setEnabled(available(command, *item));
    }
    const bool enabled = !control_->busy();
    table_->setEnabled(enabled);
    const QList<QAction*> menus = menuBar()->actions();
    for (int i = 0; i < 3 && i < menus.size(); ++i) {
        menus[i]->setEnabled(enabled);
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

void CTollwayDlg::add_command() {
    Add_new_download_dlg dialog(services_.prompter, services_.profile, this);
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
    if (numbers.empty()) {
        services_.prompter.show_message(load_string(texts::select_to_edit));
        return;
    }
    const Download_record* first = services_.list.find(numbers.front());
    if (first == nullptr) {
        return;
    }
    const bool several = numbers.size() > 1;
    if (!several && first->dlg_ptr != nullptr) {
        services_.prompter.show_message(load_string(texts::running_not_editable));
        return;
    }
    const Download_fields shown{first->url, first->folder, first->file_name, first->description};
    Modify_download_properties dialog(services_.prompter, services_.profile, shown, several, this);
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    const Download_fields& edited = dialog.fields();
    // Several rows take the first one's folder and description as a start;
    // only a field the user changed is given to every row.
    const auto changed = [several](const std::wstring& before, const std::wstring& after) {
        return several && before == after ? std::nullopt : std::optional<std::wstring>(after);
    };
    // Records are looked up again: while the dialog was open, downloads may
    // have started or ended, and rows may have moved.
    for (const std::int32_t number : numbers) {
        Download_record* record = services_.list.find(number);
        if (record == nullptr) {
            continue;
        }
        if (record->dlg_ptr != nullptr) {
            services_.prompter.show_message(load_string(texts::running_not_editable));
            continue;
        }
        services_.list.edit_download(
            *record, view_, changed(shown.description, edited.description),
            changed(shown.folder, edited.folder),
            several ? std::nullopt : std::optional<std::wstring>(edited.file_name),
            several ? std::nullopt : std::optional<std::wstring>(edited.url));
    }
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

QAction* CTollwayDlg::make_action(int command, const QString& label) {
    auto* created = new QAction(label, this);
    created->setData(command);
    actions_.emplace(command, created);
    return created;
}

QAction* CTollwayDlg::action(int command) const {
    const auto it = actions_.find(command);
    return it == actions_.end() ? nullptr : it->second;
}

void CTollwayDlg::build_menus() {
    QMenu* file = menuBar()->addMenu(text(texts::menu_file));
    file->addAction(make_action(cmd_load_list, text(texts::load_list)));
    file->addAction(make_action(cmd_save_list, text(texts::save_list)));
    file->addAction(make_action(cmd_save_list_as, text(texts::save_list_as)));
    file->addSeparator();
    file->addAction(make_action(cmd_exit, text(texts::exit)));

    QMenu* edit = menuBar()->addMenu(text(texts::menu_edit));
    edit->addAction(make_action(cmd_edit, text(texts::edit_downloads)));
    edit->addAction(make_action(cmd_delete, text(texts::delete_downloads)));

    QMenu* help = menuBar()->addMenu(text(texts::menu_help));
    help->addAction(make_action(cmd_help, text(texts::help)));
    help->addAction(make_action(cmd_check_updates_menu, text(texts::check_updates)));
    help->addSeparator();
    help->addAction(make_action(cmd_about, text(texts::about)));

    QMenu* language = menuBar()->addMenu(text(texts::menu_language));
    language->addAction(make_action(cmd_arabic, text(texts::arabic)));
    language->addAction(make_action(cmd_english, text(texts::english)));
}

void CTollwayDlg::build_toolbar() {
    toolbar_ = addToolBar(text(texts::application_title));
    toolbar_->setObjectName("toolbar");
    toolbar_->setMovable(false);
    toolbar_->setFloatable(false);
    toolbar_->setIconSize(QSize(32, 32));
    toolbar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar_->setContentsMargins(5, 0, 0, 0);
    for (const Tool_button& button : k_toolbar) {
        if (button.command == 0) {
            toolbar_->addSeparator();
            continue;
        }
        QAction* added = make_action(button.command, text(button.tooltip));
        added->setIcon(program_icon(button.icon));
        added->setToolTip(text(button.tooltip));
        added->setCheckable(button.command == cmd_scheduler);
        toolbar_->addAction(added);
    }
}

void CTollwayDlg::build_list() {
    table_->setObjectName("downloads");
    table_->setColumnCount(k_column_count);
    table_->setShowGrid(true);
    table_->setWordWrap(false);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 8);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    table_->horizontalHeader()->setStretchLastSection(false);
    // The widths below come from the header texts' lengths; the style's own
    // minimum, which grows with the font, must not override them.
    table_->horizontalHeader()->setMinimumSectionSize(k_pixels_per_character);
    table_->setItemDelegate(new Data_cell_delegate(table_));

    services_.list.load_column_titles();
    QStringList headers;
    for (const auto& [column, title] : services_.list.column_titles()) {
        headers << qt(title);
    }
    table_->setHorizontalHeaderLabels(headers);
    for (const int column : k_measured_columns) {
        const auto length = static_cast<int>(services_.list.column_titles().at(column).size());
        table_->setColumnWidth(column, length * k_pixels_per_character);
    }
    for (const auto& [column, width] : k_fixed_widths) {
        table_->setColumnWidth(column, width);
    }
    connect(table_, &QTableWidget::cellDoubleClicked, this,
            [this](int row, int) { on_double_click(row); });
    // The context menu opens where the mouse asks for it, or, from the
    // keyboard (the Menu key, Shift+F10), at the current row.
    table_->setContextMenuPolicy(Qt::DefaultContextMenu);
    table_->viewport()->installEventFilter(this);
    table_->installEventFilter(this);
    auto* keyboard_menu = new QAction(table_);
    keyboard_menu->setShortcuts({QKeySequence(Qt::SHIFT | Qt::Key_F10)});
    keyboard_menu->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    table_->addAction(keyboard_menu);
    connect(keyboard_menu, &QAction::triggered, this,
            &CTollwayDlg::open_context_menu_at_current_row);
}

void CTollwayDlg::build_context_menu() {
    context_menu_ = new QMenu(text(texts::choose_action), this);
    const std::pair<int, int> items[] = {
        {cmd_download, texts::download},
        {cmd_add_to_auto, texts::add_to_auto},
        {cmd_remove_from_auto, texts::remove_from_auto},
        {cmd_add_download, texts::add_new_download},
        {cmd_edit, texts::edit_downloads},
        {cmd_delete, texts::delete_downloads},
        {cmd_open_folder, texts::open_folder},
        {cmd_open_link, texts::open_link},
        {0, 0},
        {cmd_check_updates_menu, texts::check_program_updates},
        {0, 0},
        {cmd_exit, texts::exit_program},
    };
    for (const auto& [command, label] : items) {
        if (command == 0) {
            context_menu_->addSeparator();
        } else {
            context_menu_->addAction(make_action(command, text(label)));
        }
    }
}

void CTollwayDlg::wire_commands() {
    handlers_ = {
        {cmd_about,
         [this] {
             const Question_tracker::Scope open(services_.prompter);
             services_.show_about(this);
         }},
        {cmd_exit, [this] { close(); }},
        {cmd_save_list, [this] { save_list_command(); }},
        {cmd_save_list_as, [this] { save_list_as_command(); }},
        {cmd_open_folder, [this] { open_first_selected(true); }},
        {cmd_open_link, [this] { open_first_selected(false); }},
        {cmd_links_grabber, [this] { open_links_grabber(); }},
        {cmd_check_updates, [this] { open_update_window(); }},
        {cmd_check_updates_menu, [this] { open_update_window(); }},
        {cmd_help, [this] { open_help(); }},
        {cmd_help_button, [this] { open_help(); }},
        {cmd_arabic, [this] { set_language(k_language_arabic, texts::language_restart_arabic); }},
        {cmd_english,
         [this] { set_language(k_language_english, texts::language_restart_english); }},
        {cmd_download, [this] { start_selected(); }},
        {cmd_stop, [this] { stop_selected(); }},
        {cmd_add_to_auto, [this] { control_->queue_rows(selected_rows()); }},
        {cmd_remove_from_auto, [this] { control_->unqueue_rows(selected_rows()); }},
        {cmd_delete, [this] { control_->delete_rows(selected_rows()); }},
        {cmd_add_download, [this] { add_command(); }},
        {cmd_edit, [this] { edit_command(); }},
        {cmd_load_list, [this] { load_command(); }},
    };
    handlers_.emplace(cmd_scheduler, [] {});  // the toggle below carries its state
    for (const auto& [command, item] : actions_) {
        if (command == cmd_scheduler) {
            // The click has checked or un-checked the button already; the
            // command acts on that state.
            connect(item, &QAction::triggered, this, [this](bool checked) {
                services_.prompter.when_free([this, checked] { scheduler_command(checked); });
            });
        } else {
            const int id = command;
            connect(item, &QAction::triggered, this, [this, id] { run_command(id); });
        }
    }
    // A command whose work is not built yet stays disabled, never a silent no-op.
    update_commands();
}

void CTollwayDlg::run_command(int command) {
    // Never inside the handler that received it (a screen reader's press
    // returns at once), and never while a question is open.
    services_.prompter.when_free([this, command] { dispatch(command); });
}

void CTollwayDlg::dispatch(int command) {
    const auto handler = handlers_.find(command);
    if (handler == handlers_.end() || control_->closing()) {
        return;
    }
    // A command that waited may have been switched off meanwhile (the busy
    // state of a deletion): it is refused as its button would be.
    const QAction* item = action(command);
    if (item != nullptr && !item->isEnabled() && command != cmd_exit) {
        return;
    }
    handler->second();
}

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
        if (!valid_file_name(link->file_name)) {
            services_.prompter.show_message(load_string(texts::invalid_file_name) + L"\n" +
                                            link->link);
            continue;
        }
        services_.list.add_download_with_check(link->folder, link->link, link->file_name,
                                               link->description, view_);
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

void CTollwayDlg::on_double_click(int row) {
    const std::int32_t number = view_.item_data(row);
    const Download_record* record = services_.list.find(number);
    if (record == nullptr) {
        return;
    }
    // A download that has its window: the window comes to the top.
    if (CDownload_dlg* window = progress_window(number)) {
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->show();
        window->raise();
        window->activateWindow();
        return;
    }
    post_message(UM_START_DOWNLOAD, number);
}

void CTollwayDlg::on_context_menu(const QPoint& position) {
    context_menu_->popup(table_->viewport()->mapToGlobal(position));
}

bool CTollwayDlg::eventFilter(QObject* watched, QEvent* event) {
    // Ctrl+A and Delete act before the list sees the key (which it still
    // does), and only while the window is not busy.
    if (event->type() == QEvent::KeyPress && watched == table_ && !control_->busy()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            table_->selectAll();
        } else if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            run_command(cmd_delete);
        }
        return false;
    }
    if (event->type() == QEvent::ContextMenu &&
        (watched == table_ || watched == table_->viewport())) {
        const auto* request = static_cast<QContextMenuEvent*>(event);
        if (request->reason() == QContextMenuEvent::Mouse) {
            context_menu_->popup(request->globalPos());
        } else {
            open_context_menu_at_current_row();
        }
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void CTollwayDlg::open_context_menu_at_current_row() {
    const QModelIndex current = table_->currentIndex();
    const QRect cell = current.isValid() ? table_->visualRect(current) : QRect();
    on_context_menu(current.isValid() ? QPoint(cell.left() + cell.height(), cell.bottom())
                                      : QPoint(0, 0));
}

std::vector<int> CTollwayDlg::selected_rows() const {
    std::vector<int> rows;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows()) {
        rows.push_back(index.row());
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CTollwayDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc end nothing in the main window.
    event->accept();
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
    event->accept();
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
    // The profile's language names the help file; Arabic when it is unset.
    const int language =
        services_.profile.read_int(k_settings_section, L"language", k_language_arabic);
    const std::filesystem::path file =
        services_.data_directory /
        (language == k_language_arabic ? "help_arabic.pdf" : "help_english.pdf");
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
