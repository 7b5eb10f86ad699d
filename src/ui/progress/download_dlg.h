#pragma once

// The window of one running download: it has the output file opened (off
// the GUI thread; the replace question comes once the opening reports), owns
// the download worker (through a Download_runner), shows what the main window
// tells it about the transfer, and ends the download when the user cancels or
// closes it. It never destroys itself: it asks its host to. Lives on the GUI
// thread, as a top-level window without an owner.

#include <QDialog>
#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "engine/runner_window.h"
#include "platform/prompter.h"
#include "ui/common/paced_progress_bar.h"
#include "ui/common/window_target.h"

class QPushButton;

namespace corvale {

class Elided_label;
class Value_label;

class CDownload_dlg : public QDialog, public Runner_window {
    Q_OBJECT

  public:
    // Questions and messages (replace, keep the partial file, ...) go to
    // `prompter`.
    CDownload_dlg(Progress_window_host& host, Prompter& prompter, std::int32_t download_number,
                  Settings_source settings = {});
    ~CDownload_dlg() override;

    // Download_window
    void open() override;
    void set_title(int percentage) override;
    void forward(std::uint32_t message, std::int64_t lparam) override;

    Paced_progress_bar& progress_bar() { return *bar_; }
    QPushButton& cancel_button() { return *cancel_; }
    // Sets the download's own speed limit in a dialog of the window's own.
    QPushButton& limit_button() { return *limit_; }
    // Open: shown once the download has finished whole, when the window has
    // an opener, which is given the file's full path.
    QPushButton& open_button() { return *open_; }
    void set_file_opener(std::function<void(const std::wstring& path)> opener) {
        opener_ = std::move(opener);
    }
    // The text of a value by its label's string id (texts::label_url ...).
    QString value_text(int label) const;
    std::uint64_t size_divisor() const { return divisor_; }

  protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

    // Runner_window
    void show_download_info(const std::wstring& size, const std::wstring& resume) override;
    void disable_cancel() override;
    void show_ended() override;
    void show_refused() override;
    std::shared_ptr<Notification_target> opening_target() override { return opened_; }

  private:
    void build();
    void refresh();
    // The bar, the elapsed time and the values at `downloaded` bytes.
    void show_progress(std::int64_t downloaded);
    // What the window shows once start() or the opening has said how the
    // download begins.
    void show_start(Download_runner::Start outcome);

    Prompter& prompter_;
    std::uint64_t divisor_ = 1;
    std::time_t start_time_;
    // The last progress while the window was minimized, shown when it is
    // restored: a minimized window does not lay out texts nobody sees.
    std::optional<std::int64_t> progress_unseen_;

    std::map<int, Value_label*> values_;
    Elided_label* url_label_ = nullptr;
    Elided_label* path_label_ = nullptr;
    Paced_progress_bar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* limit_ = nullptr;
    QPushButton* open_ = nullptr;
    std::function<void(const std::wstring& path)> opener_;
    std::shared_ptr<Speed_limits> limits_;  // none: no button
    // The opening of the file reports here, on the GUI thread.
    std::shared_ptr<Window_target> opened_;
};

}  // namespace corvale
