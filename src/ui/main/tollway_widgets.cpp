#include "ui/main/tollway_dlg.h"

// The main window's widgets: menus, toolbar, the list and its context menu,
// and how mouse and keys reach the commands.
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

// The keys of a menu command; none for most. They are key codes, the same in
// every language.
QList<QKeySequence> shortcuts_of(int command) {
    switch (command) {
        case cmd_load_list:
            return {QKeySequence(Qt::CTRL | Qt::Key_O)};
        case cmd_save_list:
            return {QKeySequence(Qt::CTRL | Qt::Key_S)};
        case cmd_save_list_as:
            return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
        case cmd_exit:
            return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
        case cmd_add_download:
            return {QKeySequence(Qt::CTRL | Qt::Key_N), QKeySequence(Qt::Key_Insert)};
        case cmd_help:
            return {QKeySequence(Qt::Key_F1)};
        case cmd_download:
            return {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)};
        case cmd_delete:
            return {QKeySequence(Qt::Key_Delete)};
        case cmd_preferences:
            return {QKeySequence(Qt::CTRL | Qt::Key_Comma)};
        default:
            return {};
    }
}

// Keys that act on the list's rows, only while the list has the focus.
bool acts_on_rows(int command) {
    return command == cmd_download || command == cmd_delete;
}

}  // namespace

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
    struct Item {
        int command;  // 0: a separator
        int label;
    };
    const auto add_menu = [this](int title, std::initializer_list<Item> items, bool busy_grey) {
        QMenu* menu = menuBar()->addMenu(text(title));
        for (const Item& item : items) {
            if (item.command == 0) {
                menu->addSeparator();
                continue;
            }
            QAction* added = make_action(item.command, text(item.label));
            added->setShortcuts(shortcuts_of(item.command));
            if (acts_on_rows(item.command)) {
                added->setShortcutContext(Qt::WidgetShortcut);
                table_->addAction(added);
            }
            added->setCheckable(item.command == cmd_scheduler);
            menu->addAction(added);
        }
        if (busy_grey) {
            busy_menus_.push_back(menu);
        }
    };
    add_menu(texts::menu_file,
             {{cmd_load_list, texts::load_list},
              {cmd_save_list, texts::save_list},
              {cmd_save_list_as, texts::save_list_as},
              {0, 0},
              {cmd_exit, texts::exit}},
             true);
    add_menu(texts::menu_edit,
             {{cmd_edit, texts::edit_downloads},
              {cmd_delete, texts::delete_downloads},
              {0, 0},
              {cmd_preferences, texts::preferences_menu}},
             true);
    add_menu(texts::menu_downloads,
             {{cmd_download, texts::menu_download},
              {cmd_stop, texts::menu_stop},
              {0, 0},
              {cmd_add_to_auto, texts::menu_add_to_auto},
              {cmd_remove_from_auto, texts::menu_remove_from_auto},
              {cmd_scheduler, texts::menu_scheduler},
              {cmd_speed_limit, texts::menu_speed_limit},
              {0, 0},
              {cmd_add_download, texts::menu_add_new_download}},
             true);
    add_menu(texts::menu_tools, {{cmd_links_grabber, texts::menu_links_grabber}}, true);
    add_menu(texts::menu_help,
             {{cmd_help, texts::help},
              {cmd_check_updates_menu, texts::check_updates},
              {0, 0},
              {cmd_about, texts::about}},
             true);
    add_menu(texts::menu_language, {{cmd_arabic, texts::arabic}, {cmd_english, texts::english}},
             false);
    // Return and Delete on a menu title that has the keyboard open the menu
    // or do nothing; they never reach the rows.
    menuBar()->installEventFilter(this);
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
        // Tab reaches every button; its name is its tooltip, which stays
        // when the scheduler's tooltip adds a pending start.
        QWidget* shown = toolbar_->widgetForAction(added);
        shown->setFocusPolicy(Qt::TabFocus);
        shown->setAccessibleName(text(button.tooltip));
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
    // Tab leaves the list for the toolbar and the status line.
    table_->setTabKeyNavigation(false);
    table_->setAccessibleName(text(texts::download_list_name));
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setSectionsMovable(true);
    table_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeading | Qt::AlignVCenter);
    table_->horizontalHeader()->setStretchLastSection(false);
    table_->setItemDelegate(new Data_cell_delegate(table_));

    services_.list.load_column_titles();
    QStringList headers;
    for (const auto& [column, title] : services_.list.column_titles()) {
        headers << qt(title);
    }
    table_->setHorizontalHeaderLabels(headers);
    set_default_widths();
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
        {cmd_limit_speed, texts::limit_speed},
        {cmd_add_download, texts::add_new_download},
        {cmd_edit, texts::edit_downloads},
        {cmd_delete, texts::delete_downloads},
        {cmd_open_folder, texts::open_folder},
        {cmd_open_link, texts::open_link},
        {cmd_open_file, texts::open_file},
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
        {cmd_exit,
         [this] {
             // Exit ends the program, never hides it in the tray; a close
             // sequence the user cancels leaves that choice to the next close.
             exiting_ = true;
             close();
             exiting_ = ended_ || control_->closing();
         }},
        {cmd_preferences, [this] { preferences_command(); }},
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
        {cmd_open_file, [this] { open_file_command(); }},
    };
    if (limits_) {
        handlers_.emplace(cmd_speed_limit, [this] { speed_limit_command(); });
        handlers_.emplace(cmd_limit_speed, [this] { limit_rows_command(); });
    }
    handlers_.emplace(cmd_scheduler, [] {});  // the toggle below carries its state
    for (const auto& [command, item] : actions_) {
        if (command == cmd_scheduler) {
            // A click, a key or a screen reader's toggle has checked or
            // un-checked the button or the menu item already; the other
            // follows, and the command acts on that state. Changes the
            // window makes itself are not commands.
            connect(item, &QAction::toggled, this, [this](bool checked) {
                if (setting_scheduler_check_) {
                    return;
                }
                set_button_checked(checked);
                services_.prompter.when_free([this, checked] { scheduler_command(checked); });
            });
        } else {
            const int id = command;
            QAction* from = item;
            connect(item, &QAction::triggered, this, [this, id, from] { run_command(id, from); });
        }
    }
    // A command whose work is not built yet stays disabled, never a silent no-op.
    update_commands();
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
    if (watched == table_->viewport() && take_drop(event)) {
        return true;
    }
    // Ctrl+A acts before the list sees the key (which it still does), and
    // only while the window is not busy. Delete and Return are the Edit and
    // Downloads menus' keys while the list has the focus.
    if (event->type() == QEvent::KeyPress && watched == table_ && !control_->busy()) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->matches(QKeySequence::SelectAll)) {
            table_->selectAll();
        }
        return false;
    }
    if (event->type() == QEvent::ShortcutOverride && watched == menuBar()) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Delete) {
            event->accept();
            return true;
        }
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
    // From the keyboard the first item is highlighted, so that the arrows
    // and a screen reader start there.
    for (QAction* item : context_menu_->actions()) {
        if (!item->isSeparator() && item->isEnabled()) {
            context_menu_->setActiveAction(item);
            break;
        }
    }
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
    // Enter and Esc end nothing in the main window (Return on the list is the
    // Download command's key).
    event->accept();
}

}  // namespace corvale
