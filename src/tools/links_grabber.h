#pragma once

// The links grabber and verifier without its window: which buttons are on,
// what each notice of the one running page fetch does, how verification walks
// the selected links, and what the main window takes when it adds them. The
// window supplies the links list, the fetches, the message boxes and the
// buttons (Grabber_view, Grabber_host) and forwards presses and notices.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "host/file_host.h"

namespace corvale {

// Columns of the links list.
enum Grabber_column {
    gcol_number,
    gcol_link,
    gcol_status,
    gcol_file_name,
    gcol_size,
    gcol_retries,
    gcol_count
};

// Buttons that the working states turn off.
enum class Grabber_button { get_links, paste, verify, add, browse };

// The window's links list: rows of texts and the user's selection.
class Grabber_view {
  public:
    virtual ~Grabber_view() = default;
    virtual int item_count() const = 0;
    virtual void append_item(const std::wstring& number, const std::wstring& link) = 0;
    virtual std::wstring item_text(int item, int column) const = 0;
    virtual void set_item_text(int item, int column, const std::wstring& text) = 0;
    virtual bool is_selected(int item) const = 0;
    virtual void deselect(int item) = 0;
};

class Grabber_host {
  public:
    virtual ~Grabber_host() = default;
    // Creates a page fetch with this id (-1: the page; else the item) and
    // starts it; false when it could not be started (nothing is left running).
    virtual bool start_fetch(std::int32_t id, const std::wstring& url) = 0;
    // Stops and destroys the running fetch.
    virtual void stop_fetch() = 0;
    // Of the running fetch: its status text, the bytes received so far, and
    // after success the page it received.
    virtual std::wstring fetch_status() = 0;
    virtual std::uint64_t fetch_received() = 0;
    virtual std::string_view fetch_page() = 0;
    // Posts UM_FINISHED with this id and outcome to the window itself.
    virtual void post_finished(std::int32_t id, std::int64_t outcome) = 0;

    virtual void set_enabled(Grabber_button button, bool enabled) = 0;
    // Captions by text id: cancel_get_links / get_links for Get Links,
    // cancel_verify / verify for Verify.
    virtual void set_get_links_caption(int id) = 0;
    virtual void set_verify_caption(int id) = 0;
    virtual void set_status(const std::wstring& text) = 0;   // the status line
    virtual void set_retries(const std::wstring& text) = 0;  // the page fetch's retries
    virtual void show_message(const std::wstring& text) = 0;
    virtual bool ask_yes_no(const std::wstring& text) = 0;
    // UM_ADD_GRABBED_LINKS to the main window; returns once it has added them.
    virtual void add_grabbed_links() = 0;
    // UM_LINKS_GRABBER_CLOSED to the main window.
    virtual void request_close() = 0;
};

// One selected link as the main window adds it.
struct Grabbed_link {
    std::wstring link;
    std::wstring folder;
    std::wstring file_name;
    std::wstring description;
};

class Links_grabber {
  public:
    enum class State { idle, getting_links, verifying, adding };

    // `file_host`: the names of the file host whose links are grabbed.
    Links_grabber(Grabber_view& view, Grabber_host& host, Host_config file_host)
        : view_(view), host_(host), file_host_(make_file_host(std::move(file_host))) {}

    // The buttons.
    void get_links(const std::wstring& page_url);
    void paste_links(const std::wstring& clipboard_text);
    void verify();
    void add(const std::wstring& folder);
    // Close, Escape, the close box and the main window's shutdown: true when
    // the close request was posted.
    bool close();

    // A notice of the page fetch (wparam = fetch id).
    void notify(std::uint32_t message, std::int32_t id, std::int64_t lparam);

    // The main window's side of adding: the first cursor, then each link in
    // turn until it gives no value. A file name that verification found is
    // taken only when it is a valid file name; otherwise the name comes from
    // the link, as it is (the adder checks it).
    int first_cursor() const { return next_selected(0); }
    std::optional<Grabbed_link> next_link(int& cursor, const std::wstring& folder,
                                          const std::wstring& description) const;

    State state() const { return state_; }
    // While verifying or adding, the list refuses selection changes.
    bool busy() const { return state_ == State::verifying || state_ == State::adding; }
    bool fetch_running() const { return fetch_running_; }

  private:
    // 1 + the index of the first selected item at or after `from`; 0 when
    // there is none.
    int next_selected(int from) const;
    static std::span<const Grabber_button> buttons_off(State state);
    // Turns back on what the old state turned off, and off what the new one does.
    void set_state(State next);
    void finished(std::int32_t id, std::int64_t outcome);
    void extract();
    void verify_next();
    bool start(std::int32_t id, const std::wstring& url);
    void stop();
    void end_verification();
    void show_on_target(std::int32_t id, const std::wstring& text);

    Grabber_view& view_;
    Grabber_host& host_;
    std::unique_ptr<const File_host> file_host_;
    State state_ = State::idle;
    std::wstring page_text_;
    int verify_cursor_ = 0;
    bool fetch_running_ = false;
};

}  // namespace corvale
