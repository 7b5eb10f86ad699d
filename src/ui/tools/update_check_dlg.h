#pragma once

// The update window: on "Check For Updates" it reads the maker's version
// file and shows the latest version, its date and its information, and
// whether this program is older. The check runs on a thread of its own, so
// the window keeps painting; while it runs both buttons are off and closing
// is refused.

#include <QDialog>
#include <functional>
#include <thread>

#include "platform/prompter.h"
#include "platform/stop_event.h"
#include "tools/update_check.h"

class QPlainTextEdit;
class QPushButton;

namespace corvale {

class Value_label;

class Update_check_dlg : public QDialog {
    Q_OBJECT

  public:
    // `closed`: UM_UPDATE_CHECK_CLOSED; the main window destroys the window
    // later.
    Update_check_dlg(Prompter& prompter, Update_source source, std::function<void()> closed,
                     QWidget* owner = nullptr);
    ~Update_check_dlg() override;

    bool checking() const { return worker_.joinable(); }
    QPushButton& check_button() { return *check_; }
    QPushButton& exit_button() { return *exit_; }
    QString status_text() const;
    QString current_version() const;
    QString latest_version() const;
    QString version_date() const;
    QString information() const;

  signals:
    // The check has shown its outcome.
    void check_ended();

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void check();
    void show_outcome(const Version_fetch& fetch);
    void try_close();

    Prompter& prompter_;
    Update_source source_;
    std::function<void()> closed_;
    Stop_event stop_;
    std::thread worker_;
    bool close_requested_ = false;

    QPushButton* check_ = nullptr;
    QPushButton* exit_ = nullptr;
    Value_label* status_ = nullptr;
    Value_label* current_ = nullptr;
    Value_label* latest_ = nullptr;
    Value_label* date_ = nullptr;
    QPlainTextEdit* information_ = nullptr;
};

}  // namespace corvale
