#pragma once

// The program's icon in the desktop's tray, where the desktop has a tray: a
// tooltip with the running downloads and their overall progress, a click
// that brings the main window up, and a menu to show or hide the window,
// start or stop automatic downloading, and end the program. Lives on the GUI
// thread.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "model/download_list.h"

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace corvale {

// The tooltip: the program's name, how many downloads run and, when every
// running download knows its size, the percentage of all their bytes that
// has arrived ("Corvale — 2 downloads, 45%").
std::wstring tray_tooltip(const Download_list& list);

class Tray_icon : public QObject {
    Q_OBJECT

  public:
    // What the menu and the click do, and the states the menu shows.
    struct Host {
        std::function<bool()> window_shown;
        std::function<void()> show_window;
        std::function<void()> hide_window;
        // Whether automatic downloading runs, and whether it may be started
        // or stopped now.
        std::function<bool()> queue_running;
        std::function<bool()> queue_available;
        std::function<void()> start_queue;
        std::function<void()> stop_queue;
        std::function<void()> exit;
    };

    Tray_icon(Host host, const Download_list& list, QObject* parent = nullptr);
    ~Tray_icon() override;

    // The tooltip again, if the downloads changed it: at most twice a second
    // (progress comes much faster), unless `now`.
    void refresh_tooltip(bool now = false);
    QString tooltip() const;
    // The menu's items as they stand now (also done each time it opens).
    void update_menu();
    QMenu& menu() { return *menu_; }
    QAction& window_item() { return *window_item_; }
    QAction& queue_item() { return *queue_item_; }
    QAction& exit_item() { return *exit_item_; }

  private:
    Host host_;
    const Download_list& list_;
    std::unique_ptr<QMenu> menu_;  // a top-level menu: no parent widget
    QAction* window_item_ = nullptr;
    QAction* queue_item_ = nullptr;
    QAction* exit_item_ = nullptr;
    QSystemTrayIcon* icon_ = nullptr;
    QElapsedTimer since_refresh_;
};

}  // namespace corvale
