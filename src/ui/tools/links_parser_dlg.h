#pragma once

// The links grabber and verifier: a top-level window in which the user
// fetches a page (or pastes text), collects the file host's links, verifies
// them one page fetch at a time, and hands the selected ones to the download
// list. The rules are the core's Links_grabber; this window shows them. The
// folder links are added to, or chosen with Browse, is remembered in the
// profile as where downloads start next time.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/page_fetcher.h"
#include "engine/transfer_settings.h"
#include "platform/profile.h"
#include "platform/prompter.h"
#include "tools/links_grabber.h"

class QLineEdit;
class QPushButton;
class QTableWidget;

namespace corvale {

class Value_label;

class Links_parser_dlg : public QDialog, private Grabber_view, private Grabber_host {
    Q_OBJECT

  public:
    struct Callbacks {
        // UM_ADD_GRABBED_LINKS: adds the selected links (through next_link)
        // and returns when they have all been offered to the download list.
        std::function<void(Links_parser_dlg&)> add_links;
        // UM_LINKS_GRABBER_CLOSED: the main window destroys this window later.
        std::function<void()> closed;
    };
    using Folder_chooser = std::function<std::optional<std::wstring>(QWidget* parent)>;

    Links_parser_dlg(Prompter& prompter, Profile& profile, Callbacks callbacks,
                     Settings_source settings = {});
    ~Links_parser_dlg() override;

    // The main window's side of adding.
    int first_cursor() const { return grabber_.first_cursor(); }
    std::optional<Grabbed_link> next_link(int& cursor) const;

    // The cancel operation: Close, Escape, the close box, and the main
    // window's shutdown. False when the user chose to stay.
    bool try_close();
    // Text with links, taken as Paste takes the clipboard's; false (nothing
    // taken) while Paste is not available.
    bool paste_links(const QString& text);

    QLineEdit& page_url_edit() { return *page_url_; }
    QLineEdit& folder_edit() { return *folder_; }
    QLineEdit& description_edit() { return *description_; }
    QTableWidget& links_list() { return *list_; }
    QPushButton& get_links_button() { return *get_links_; }
    QPushButton& paste_button() { return *paste_; }
    QPushButton& verify_button() { return *verify_; }
    QPushButton& add_button() { return *add_; }
    QPushButton& browse_button() { return *browse_; }
    QPushButton& close_button() { return *close_; }
    QString status_text() const;
    QString retries_text() const;
    const Links_grabber& grabber() const { return grabber_; }
    void set_folder_chooser(Folder_chooser chooser) { choose_folder_ = std::move(chooser); }
    // Where Browse opens: the folder in the field when it exists, else where
    // downloads start.
    std::wstring browse_start() const;

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    class Fetch_relay;

    void build();
    void paste_from_clipboard();
    void browse();
    // After every press and notice: the list refuses selection changes while
    // the grabber is busy.
    void follow_busy();
    void on_notice(std::uint32_t message, std::int64_t wparam, std::int64_t lparam);

    // Grabber_view
    int item_count() const override;
    void append_item(const std::wstring& number, const std::wstring& link) override;
    std::wstring item_text(int item, int column) const override;
    void set_item_text(int item, int column, const std::wstring& text) override;
    bool is_selected(int item) const override;
    void deselect(int item) override;
    // Grabber_host
    bool start_fetch(std::int32_t id, const std::wstring& url) override;
    void stop_fetch() override;
    std::wstring fetch_status() override;
    std::uint64_t fetch_received() override;
    std::string_view fetch_page() override;
    void post_finished(std::int32_t id, std::int64_t outcome) override;
    void set_enabled(Grabber_button button, bool enabled) override;
    void set_get_links_caption(int id) override;
    void set_verify_caption(int id) override;
    void set_status(const std::wstring& text) override;
    void set_retries(const std::wstring& text) override;
    void show_message(const std::wstring& text) override;
    bool ask_yes_no(const std::wstring& text) override;
    void add_grabbed_links() override;
    void request_close() override;

    Prompter& prompter_;
    Profile& profile_;
    Callbacks callbacks_;
    Settings_source settings_;
    Folder_chooser choose_folder_;
    Links_grabber grabber_;
    // The running fetch and the object its notices are posted to; both go
    // together, so a notice of a stopped fetch is never delivered.
    std::unique_ptr<Page_fetcher> fetch_;
    std::unique_ptr<Fetch_relay> relay_;
    bool close_requested_ = false;

    QLineEdit* page_url_ = nullptr;
    QPushButton* get_links_ = nullptr;
    QPushButton* paste_ = nullptr;
    QTableWidget* list_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    QLineEdit* description_ = nullptr;
    QPushButton* verify_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* close_ = nullptr;
    Value_label* status_ = nullptr;
    Value_label* retries_ = nullptr;
};

}  // namespace corvale
