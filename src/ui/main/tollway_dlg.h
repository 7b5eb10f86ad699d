#pragma once

// The program's main window: the download list in a fourteen-column list,
// the menu bar, the toolbar, the status line with rotating tips and the
// context menu. Lives on the GUI thread.

#include <QMainWindow>
#include <QTimer>
#include <QUrl>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "corvale/text_ids.h"
#include "engine/download_control.h"
#include "engine/list_flow.h"
#include "engine/notice_merger.h"
#include "engine/scheduler.h"
#include "engine/transfer_settings.h"
#include "model/download_list.h"
#include "tools/dropped_links.h"
#include "ui/common/question_tracker.h"
#include "ui/common/window_target.h"
#include "ui/main/command_ids.h"
#include "ui/main/qt_list_view.h"
#include "ui/progress/download_dlg.h"
#include "ui/tools/links_parser_dlg.h"
#include "ui/tools/update_check_dlg.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTableWidget;
class QToolBar;

namespace corvale {

class Desktop_notifier;
class Tray_icon;
class Value_label;

class CTollwayDlg : public QMainWindow,
                    private Control_host,
                    private Progress_window_host,
                    private Schedule_host,
                    private List_flow_host {
    Q_OBJECT

  public:
    struct Services {
        Download_list& list;
        // Every question goes through it, so that what must not run while
        // one is open waits for it to close.
        Question_tracker& prompter;
        Profile& profile;
        std::function<void(QWidget*)> show_about;
        // The application's transfer settings; empty: the defaults.
        Settings_source settings = {};
        // Chooses a list file for opening or saving with the title's string
        // id; no value when the user cancels. Empty: Qt's file dialog.
        std::function<std::optional<std::wstring>(QWidget*, int title, bool saving)>
            choose_list_file = {};
        // Where the help files are: the program's data folder.
        std::filesystem::path data_directory = {};
        // Opens a folder, a file or a link with the desktop's handler; false
        // when none could. Empty: QDesktopServices.
        std::function<bool(const QUrl&)> open_url = {};
        // Where the update check reads the version file. Empty server: the
        // maker's update server.
        Update_source update_source = {};
        // The D-Bus address of the bus that desktop notifications go to.
        // Empty: the session bus.
        QString notification_bus = {};
    };

    explicit CTollwayDlg(Services services, QWidget* parent = nullptr);
    ~CTollwayDlg() override;

    // Start-up: the last list, if any, into the list view, and the title. A
    // failure is not shown here but returned, so that it can be shown over
    // the window once the window is up.
    std::optional<std::wstring> load_last_list();

    QTableWidget& list_view_widget() { return *table_; }
    List_view& list_view() { return view_; }
    QToolBar& toolbar() { return *toolbar_; }
    // The command's toolbar button when it has one, else its first item.
    QAction* action(int command) const;
    QMenu& context_menu() { return *context_menu_; }
    QString status_text() const;
    Download_control& control() { return *control_; }
    Question_tracker& questions() { return services_.prompter; }
    // The progress window of a download, or nullptr when it is idle.
    CDownload_dlg* progress_window(std::int32_t download_number);
    // The scheduler's timers, and its clock (seconds since 1970; the
    // system's unless a test gives its own and fires the timers itself).
    QTimer& start_poll_timer() { return start_poll_; }
    QTimer& stop_timer() { return stop_timer_; }
    void set_clock(std::function<std::int64_t()> clock) { clock_ = std::move(clock); }
    // The global speed limit that applies now, as the status line shows it
    // (empty: none), and the timer that shows it again when the hours of
    // its second limit begin or end.
    QString limit_status_text() const;
    QTimer& limit_clock() { return limit_clock_; }
    // Desktop notifications: the ends of downloads wait on the timer for
    // others to join them (Notice_merger), then go to the notifier.
    QTimer& notice_timer() { return notice_timer_; }
    Desktop_notifier& notifier() { return *notifier_; }
    // The status line's offer of a file link copied to the clipboard; hidden
    // when there is none.
    QPushButton& clipboard_offer() { return *clipboard_offer_; }

    // The icon in the desktop's tray, or nullptr when the desktop has none.
    Tray_icon* tray() { return tray_.get(); }
    // Whether the desktop has a tray (default: whether Qt finds one); the
    // icon follows at once. Tests say yes where the platform has none.
    void set_tray_check(std::function<bool()> available);

    // The open tool windows, or nullptr.
    Links_parser_dlg* links_grabber() { return grabber_.get(); }
    Update_check_dlg* update_window() { return update_window_.get(); }

    // A list file opened from the desktop or the command line: loaded as a
    // new list as Load List does (confirm_save_list first when the list is
    // modified), from a queued call once no question is open. Ignored while a
    // deletion or the close sequence is under way.
    void open_list_file(const std::wstring& path);
    // Runs a command as the menu, toolbar and keys do: from a queued call,
    // once no question is open. `from`: the item that gave it, whose state
    // decides whether it still may run (none: action(command)).
    void run_command(int command, const QAction* from = nullptr);
    // Shows the window (also from the tray or minimized) and brings it to
    // the front: a second start, the tray, a notification's Add.
    void bring_to_front();

    // Every ten seconds: the next tip in the status line (tip_first to
    // tip_last, round).
    void show_next_tip();
    void update_title();

  signals:
    // UM_START_DOWNLOAD: the download with this number is to start.
    void start_download_requested(int download_number);

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Control_host
    std::unique_ptr<Download_window> make_window(std::int32_t download_number) override;
    void post_start(std::int32_t download_number) override;
    void release_window(std::unique_ptr<Download_window> window) override;
    // Hides the window now and frees it once no question is open.
    template <typename Window>
    void release_later(std::unique_ptr<Window> window);
    void arm_timer(Control_timer timer) override;
    void kill_timer(Control_timer timer) override;
    void enter_busy() override;
    void leave_busy() override;
    void enter_closing() override;
    void close_tools() override;
    bool tools_open() const override { return grabber_ != nullptr; }
    void set_unqueue_enabled(bool enabled) override;
    bool save_list() override { return save_list_command(); }
    void end() override;
    void download_ended(std::int32_t download_number, bool succeeded) override;
    void queue_finished() override;
    // Schedule_host
    void arm_start_poll() override { start_poll_.start(); }
    void kill_start_poll() override { start_poll_.stop(); }
    void arm_stop(std::int64_t delay_ms) override;
    void kill_stop() override { stop_timer_.stop(); }
    void set_button_checked(bool checked) override;
    void set_button_armed(bool armed) override;
    void start_queue() override;
    void stop_downloads() override;
    void tell_stopped() override;
    void scheduler_command(bool checked);
    // While a start is pending, the toolbar button's tooltip and the status
    // line say when it comes.
    void show_schedule();
    // Progress_window_host
    void post_window_closed(std::int32_t download_number) override;
    void cancel_automatic_downloads() override { control_->cancel_automatic(); }
    bool automatic_downloading_active() const override { return control_->automatic_active(); }
    std::shared_ptr<Notification_target> worker_target() override { return target_; }

    // Every action (menu, toolbar, context menu) of the command.
    void for_each_action(int command, const std::function<void(QAction&)>& apply);
    // Whether the command can be given from this place now.
    bool available(int command, const QAction& item) const;
    // Every command's enabled state, the list's and that of the menus that
    // are greyed while busy (with their items).
    void update_commands();
    // The command's handler, run at once.
    void dispatch(int command, const QAction* from);
    // Where the next progress window opens: each a step below and right of
    // the last, so that none hides another.
    QPoint cascade_position();
    void start_selected();
    // The link: the Add dialog starts with it (a link dropped on the list).
    void add_command(const std::wstring& link = {});
    void edit_command();
    void load_command();
    std::optional<std::wstring> choose_list_file(int title, bool saving) override;
    void list_file_changed() override { update_title(); }
    void stop_selected();
    // Speed Limit: the global limits, applied at once and kept in the profile.
    void speed_limit_command();
    // The status line's limit, the rows' tooltips and the clock of the hours.
    void build_limits();
    // Limit Speed: an own limit for each selected download.
    void limit_rows_command();
    void show_limit();
    // The global limits applied to the running downloads, stored and shown.
    void apply_global_limits(const Global_limits& limits);
    // Preferences: stored by its dialog; the limits and the language applied
    // as their own commands apply them.
    void preferences_command();
    // The tray icon when the desktop has a tray; closing the window hides it
    // there when the preferences say so.
    void build_tray();
    void hide_to_tray();
    bool closes_to_tray() const;
    // The window closes for good: a program kept in the tray ends with it.
    void leave_tray();

    void build_menus();
    void build_toolbar();
    void build_list();
    void build_context_menu();
    // The columns' least widths: the header's, the usual content's.
    void set_default_widths();
    // The width a cell needs to show the text whole.
    int cell_width(const QString& sample) const;
    // The window's geometry and the columns' widths and order from the
    // profile; a missing or broken value leaves the defaults.
    void restore_layout();
    void store_layout();
    std::wstring_view widths_key() const;
    QAction* make_action(int command, const QString& label);
    void wire_commands();
    void post_message(std::uint32_t message, std::int64_t lparam);
    void on_double_click(int row);
    void on_context_menu(const QPoint& position);
    void open_context_menu_at_current_row();
    std::vector<int> selected_rows() const;

    bool save_list_command();
    bool save_list_as_command();
    void set_language(int language, int message);
    void open_first_selected(bool folder);
    void open_links_grabber();
    void add_grabbed_links(Links_parser_dlg& grabber);
    void open_update_window();
    void open_help();
    // Load List's second half: save if wanted, stop every download, then
    // load what `choose` names (nothing: the list path is emptied).
    void replace_list(const std::function<std::optional<std::wstring>()>& choose);
    // Opens the target with the desktop's handler, or shows the message id
    // with what could not be opened.
    void open_or_say(const QUrl& target, int message, const std::wstring& what);
    // Desktop notifications and the clipboard watch (tollway_notify.cpp).
    void build_notifications();
    bool notifications_on() const;
    // The notices gathered go out when their second is over.
    void wait_for_notices();
    void show_notices();
    void clipboard_changed();
    // Opens the Add dialog with the link once no question is open, as the
    // Add command would.
    void offer_to_add(const QString& link);

    // Drops on the list and downloaded files opened (tollway_drop.cpp).
    // The list takes drops, the Progress column draws its bar and the Open
    // File item follows the selection.
    void build_drops_and_open_file();
    // A drag or drop on the list's viewport: true when it was one (taken or
    // refused); the drop's work runs later from a queued call.
    bool take_drop(QEvent* event);
    // The Add dialog with the link in its link field, as Add A New Download.
    void add_dropped_link(const std::wstring& link);
    // The several links in the links grabber, as its Paste gives them.
    void grab_dropped_links(const std::wstring& text);
    // Open File: the first selected download's file, when it is there whole.
    bool can_open_file() const;
    void open_file_command();
    void open_downloaded_file(const std::wstring& path);

    Services services_;
    QTableWidget* table_ = nullptr;
    Qt_list_view view_;
    QToolBar* toolbar_ = nullptr;
    QMenu* context_menu_ = nullptr;
    QLabel* status_ = nullptr;
    Value_label* limit_status_ = nullptr;  // the global limit that applies now
    QTimer limit_clock_;
    // The speed limits the downloads run under; none: the commands are off.
    std::shared_ptr<Speed_limits> limits_;
    QTimer tips_;
    int next_tip_ = texts::tip_first;
    int shown_tip_ = texts::tip_initial;
    // While the window itself checks or un-checks the scheduler's items.
    bool setting_scheduler_check_ = false;
    // The list had the keyboard when the window became busy.
    bool list_lost_keyboard_ = false;
    std::multimap<int, QAction*> actions_;
    std::vector<QMenu*> busy_menus_;                 // greyed while busy
    std::map<int, std::function<void()>> handlers_;  // commands with a handler
    // Windows let go of, freed from the top of the event loop.
    std::vector<std::shared_ptr<void>> released_;
    int cascade_step_ = 0;
    QTimer close_wait_;
    QTimer delete_wait_;
    QTimer progress_pace_;
    QTimer start_poll_;  // while a schedule waits for its start
    QTimer stop_timer_;  // until the schedule's stop
    std::function<std::int64_t()> clock_ = [] { return std::int64_t(std::time(nullptr)); };
    bool ended_ = false;
    bool in_close_event_ = false;
    std::shared_ptr<Window_target> target_;
    std::unique_ptr<Download_control> control_;  // before target_ is closed
    std::unique_ptr<Links_parser_dlg> grabber_;
    std::unique_ptr<Update_check_dlg> update_window_;
    // What the drag over the list holds, sorted once as it enters.
    Dropped::Kind dragged_ = Dropped::Kind::refused;
    Notice_merger notices_;
    QTimer notice_timer_;
    std::unique_ptr<Desktop_notifier> notifier_;
    QPushButton* clipboard_offer_ = nullptr;
    QString offered_link_;
    QString last_copied_;  // the clipboard's last text, offered or not
    Scheduler scheduler_{static_cast<Schedule_host&>(*this)};
    std::function<bool()> tray_available_;
    // Exit was chosen: closing ends the program even when it would go to the tray.
    bool exiting_ = false;
    bool in_tray_ = false;             // hidden there by a close
    std::unique_ptr<Tray_icon> tray_;  // first to go: it calls back into the window
};

}  // namespace corvale
