#include "ui/main/tollway_dlg.h"

// The main window's Preferences command and its icon in the desktop's tray.
#include <QAction>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <QTableWidget>
#include <numeric>

#include "engine/limit_profile.h"
#include "engine/preferences.h"
#include "ui/dialogs/preferences_dlg.h"
#include "ui/main/tray_icon.h"

namespace corvale {

void CTollwayDlg::preferences_command() {
    const std::optional<Global_limits> shown =
        limits_ ? std::optional(limits_->global()) : std::nullopt;
    CPreferences_dlg dialog(services_.prompter, services_.profile, shown ? &*shown : nullptr, this);
    const int language_before = dialog.language();
    if (services_.prompter.exec(dialog) != QDialog::Accepted) {
        return;
    }
    if (limits_) {
        apply_global_limits(dialog.limits());
    }
    if (dialog.language() != language_before) {
        set_language(dialog.language(), dialog.language() == k_language_arabic
                                            ? texts::language_restart_arabic
                                            : texts::language_restart_english);
    }
}

void CTollwayDlg::set_tray_check(std::function<bool()> available) {
    tray_available_ = std::move(available);
    build_tray();
}

void CTollwayDlg::build_tray() {
    tray_.reset();
    const bool available =
        tray_available_ ? tray_available_() : QSystemTrayIcon::isSystemTrayAvailable();
    if (!available) {
        return;
    }
    Tray_icon::Host host;
    host.window_shown = [this] { return isVisible(); };
    host.show_window = [this] { bring_to_front(); };
    host.hide_window = [this] { hide_to_tray(); };
    host.queue_running = [this] { return control_->automatic_active(); };
    // As the toolbar's Add To and Remove From Auto Download List buttons.
    host.queue_available = [this] {
        const QAction* item =
            action(control_->automatic_active() ? cmd_remove_from_auto : cmd_add_to_auto);
        return item != nullptr && item->isEnabled();
    };
    // Starting queues the selected downloads as Add To Auto Download List
    // does; with none selected the window comes up, where that command says
    // to select some.
    host.start_queue = [this] {
        if (table_->selectionModel()->selectedRows().isEmpty()) {
            bring_to_front();
        }
        run_command(cmd_add_to_auto);
    };
    // Stopping takes every queued download off the queue, as Remove From
    // Auto Download List does for all of them (it asks first).
    host.stop_queue = [this] {
        services_.prompter.when_free([this] {
            if (control_->closing() || !control_->automatic_active()) {
                return;
            }
            std::vector<int> rows(static_cast<std::size_t>(table_->rowCount()));
            std::iota(rows.begin(), rows.end(), 0);
            control_->unqueue_rows(rows);
        });
    };
    host.exit = [this] { run_command(cmd_exit); };
    tray_ = std::make_unique<Tray_icon>(std::move(host), services_.list);
}

bool CTollwayDlg::closes_to_tray() const {
    return tray_ != nullptr && !exiting_ && !control_->closing() &&
           read_preferences(services_.profile).keep_in_tray;
}

void CTollwayDlg::hide_to_tray() {
    // Hidden, the window is no reason for the program to end when another
    // window (a download's) closes.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    in_tray_ = true;
    hide();
}

void CTollwayDlg::bring_to_front() {
    in_tray_ = false;
    QGuiApplication::setQuitOnLastWindowClosed(true);
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void CTollwayDlg::leave_tray() {
    if (in_tray_) {
        in_tray_ = false;
        QGuiApplication::setQuitOnLastWindowClosed(true);
        QCoreApplication::quit();
    }
}

}  // namespace corvale
