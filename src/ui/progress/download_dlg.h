#pragma once

// The window of one running download: it opens the output file, owns the
// download worker (through a Download_runner), shows what the main window
// tells it about the transfer, and ends the download when the user cancels or
// closes it. It never destroys itself: it asks its host to. Lives on the GUI
// thread, as a top-level window without an owner.

#include <QDialog>
#include <cstdint>
#include <ctime>
#include <map>
#include <memory>

#include "engine/download_control.h"
#include "engine/download_runner.h"
#include "platform/prompter.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvale {

class Elided_label;

// What a progress window needs of the main window.
class Progress_window_host {
  public:
    virtual ~Progress_window_host() = default;
    // UM_DOWNLOAD_WINDOW_CLOSED, posted: the host releases the window later.
    virtual void post_window_closed(Download_window* window) = 0;
    // UM_CANCEL_AUTO_DOWNLOAD, sent: handled before this call returns.
    virtual void cancel_automatic_downloads() = 0;
    virtual bool automatic_downloading_active() const = 0;
    // Where the worker posts its notifications: the main window.
    virtual std::shared_ptr<Notification_target> worker_target() = 0;
};

class CDownload_dlg : public QDialog, public Download_window {
    Q_OBJECT

  public:
    // Questions and messages (replace, keep the partial file, ...) go to
    // `prompter`.
    CDownload_dlg(Progress_window_host& host, Prompter& prompter, std::int32_t download_number,
                  Host_config config = {}, Worker_timing timing = {});
    ~CDownload_dlg() override;

    // Download_window
    std::int32_t download_number() const override { return download_number_; }
    bool automatic() const override { return automatic_; }
    void set_automatic(bool automatic) override { automatic_ = automatic; }
    void open() override;
    void cancel() override;
    void stop_quietly() override;
    Window_texts& window_texts() override { return texts_; }
    void set_title(int percentage) override;
    void forward(std::uint32_t message, std::int64_t lparam) override;
    Download_worker& worker() override { return runner_.worker(); }
    // Progress_window
    void set_download_info(const std::wstring& url, const std::wstring& local_path,
                           const std::wstring& size, const std::wstring& resume) override;

    bool running() const { return runner_.running(); }
    QProgressBar& progress_bar() { return *bar_; }
    QPushButton& cancel_button() { return *cancel_; }
    // The text of a value by its label's string id (txt_label_url ...).
    QString value_text(int label) const;
    std::uint64_t size_divisor() const { return divisor_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

  private:
    void build();
    void refresh();
    void refuse();
    void ask_to_close();

    Progress_window_host& host_;
    std::int32_t download_number_;
    bool automatic_ = false;
    Download_runner runner_;
    Window_texts texts_;
    std::wstring url_;
    std::wstring path_;
    std::uint64_t divisor_ = 1;
    std::time_t start_time_;
    bool close_asked_ = false;

    std::map<int, QLabel*> values_;
    Elided_label* url_label_ = nullptr;
    Elided_label* path_label_ = nullptr;
    QProgressBar* bar_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace corvale
