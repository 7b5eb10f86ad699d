#include "tools/links_grabber.h"

#include "corvale/text_ids.h"
#include "engine/notifications.h"
#include "model/download_fields.h"
#include "model/row_texts.h"
#include "platform/string_table.h"
#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::size_t k_page_url_limit = 2083;  // a buffer of 2084 with its end

}  // namespace

int Links_grabber::next_selected(int from) const {
    const int count = view_.item_count();
    for (int item = from; item < count; ++item) {
        if (view_.is_selected(item)) {
            return item + 1;
        }
    }
    return 0;
}

// The buttons each state turns off.
std::span<const Grabber_button> Links_grabber::buttons_off(State state) {
    using B = Grabber_button;
    static constexpr B getting_links[] = {B::add, B::browse, B::verify, B::paste};
    static constexpr B verifying[] = {B::add, B::browse, B::get_links, B::paste};
    static constexpr B adding[] = {B::add, B::browse, B::get_links, B::verify, B::paste};
    switch (state) {
        case State::getting_links:
            return getting_links;
        case State::verifying:
            return verifying;
        case State::adding:
            return adding;
        case State::idle:
            break;
    }
    return {};
}

void Links_grabber::set_state(State next) {
    for (const Grabber_button button : buttons_off(state_)) {
        host_.set_enabled(button, true);
    }
    state_ = next;
    for (const Grabber_button button : buttons_off(state_)) {
        host_.set_enabled(button, false);
    }
}

bool Links_grabber::start(std::int32_t id, const std::wstring& url) {
    if (!host_.start_fetch(id, url)) {
        return false;
    }
    fetch_running_ = true;
    return true;
}

void Links_grabber::stop() {
    if (fetch_running_) {
        host_.stop_fetch();
        fetch_running_ = false;
    }
}

void Links_grabber::show_on_target(std::int32_t id, const std::wstring& text) {
    if (id < 0) {
        host_.set_status(text);
    } else if (id < view_.item_count()) {
        view_.set_item_text(id, gcol_status, text);
    }
}

void Links_grabber::get_links(const std::wstring& page_url) {
    if (state_ == State::getting_links) {  // pressed again: cancel
        stop();
        set_state(State::idle);
        host_.set_get_links_caption(texts::get_links);
        host_.set_retries(L"0");
        host_.set_status(load_string(texts::get_links_cancelled));
        return;
    }
    if (state_ != State::idle) {
        return;  // the button is off in the other states
    }
    if (fetch_running_) {
        host_.show_message(load_string(texts::thread_running));
        return;
    }
    const std::wstring typed = page_url.substr(0, std::min(page_url.size(), k_page_url_limit));
    if (typed.empty()) {
        host_.show_message(load_string(texts::enter_page_url));
        return;
    }
    set_state(State::getting_links);
    host_.set_get_links_caption(texts::cancel_get_links);
    if (!start(-1, usable_link(typed))) {
        set_state(State::idle);
        host_.set_get_links_caption(texts::get_links);
        host_.show_message(load_string(texts::resume_failed));
    }
}

void Links_grabber::paste_links(const std::wstring& clipboard_text) {
    if (clipboard_text.empty()) {
        return;
    }
    page_text_ = split_pasted_links(clipboard_text);
    extract();
}

void Links_grabber::extract() {
    int number = view_.item_count();
    Extracted_links found = file_host_->extract_links(page_text_);
    for (const std::wstring& link : found.links) {
        view_.append_item(std::to_wstring(++number), link);
    }
    if (found.scan_complete) {
        host_.set_status(
            load_string(found.links.empty() ? texts::no_links_found : texts::links_grabbed));
    }
}

void Links_grabber::verify() {
    if (state_ == State::verifying) {  // pressed again: cancel
        stop();
        end_verification();
        return;
    }
    if (state_ != State::idle) {
        return;
    }
    verify_cursor_ = first_cursor();
    if (verify_cursor_ == 0) {
        host_.show_message(load_string(texts::select_to_verify));
        return;
    }
    set_state(State::verifying);
    host_.set_verify_caption(texts::cancel_verify);
    if (fetch_running_) {
        host_.show_message(load_string(texts::thread_running));
        end_verification();
        return;
    }
    verify_next();
}

void Links_grabber::verify_next() {
    if (verify_cursor_ == 0) {
        end_verification();
        return;
    }
    const int item = verify_cursor_ - 1;
    verify_cursor_ = next_selected(item + 1);
    if (!start(item, view_.item_text(item, gcol_link))) {
        end_verification();
        host_.show_message(load_string(texts::resume_failed));
    }
}

void Links_grabber::end_verification() {
    const std::wstring verified = load_string(texts::verified_link);
    for (int item = 0; item < view_.item_count(); ++item) {
        if (view_.is_selected(item) && view_.item_text(item, gcol_status) != verified) {
            view_.deselect(item);
        }
    }
    set_state(State::idle);
    verify_cursor_ = 0;
    host_.set_verify_caption(texts::verify);
}

void Links_grabber::add(const std::wstring& folder) {
    if (state_ != State::idle) {
        return;
    }
    set_state(State::adding);
    const auto done = [&] { set_state(State::idle); };
    if (first_cursor() == 0) {
        host_.show_message(load_string(texts::select_to_add));
        done();
        return;
    }
    if (!is_existing_folder(folder)) {
        host_.show_message(load_string(texts::invalid_save_folder));
        done();
        return;
    }
    host_.add_grabbed_links();
    done();
    for (int item = 0; item < view_.item_count(); ++item) {
        if (view_.is_selected(item)) {
            view_.deselect(item);
        }
    }
}

bool Links_grabber::close() {
    if (state_ == State::verifying) {
        if (!host_.ask_yes_no(load_string(texts::confirm_cancel_verification))) {
            return false;
        }
        stop();
        end_verification();
    }
    // A page fetch still running is stopped too: nothing is left behind.
    stop();
    host_.request_close();
    return true;
}

std::optional<Grabbed_link> Links_grabber::next_link(int& cursor, const std::wstring& folder,
                                                     const std::wstring& description) const {
    if (cursor <= 0 || cursor > view_.item_count()) {
        cursor = 0;
        return std::nullopt;
    }
    const int item = cursor - 1;
    cursor = next_selected(item + 1);
    Grabbed_link link;
    link.link = view_.item_text(item, gcol_link);
    link.folder = folder;
    link.description = description;
    link.file_name = view_.item_text(item, gcol_file_name);
    if (!valid_file_name(link.file_name)) {
        // A name from a page must not lead out of the folder.
        link.file_name = name_from_link(link.link).value_or(std::wstring());
    }
    return link;
}

void Links_grabber::notify(std::uint32_t message, std::int32_t id, std::int64_t lparam) {
    if (!fetch_running_) {
        return;  // a notice of a fetch that was stopped
    }
    switch (message) {
        case UM_PROGRESS:
            show_on_target(id, size_text(host_.fetch_received()));
            break;
        case UM_FINISHED:
            finished(id, lparam);
            break;
        case UM_ERROR:
            show_on_target(id, host_.fetch_status());
            if (lparam == NT_SESSION_OPEN_FAILED || lparam == NT_STATUS_CALLBACK_FAILED ||
                lparam == NT_ATTEMPTS_USED_UP || lparam == NT_URL_INCORRECT ||
                lparam == NT_CANCELLED) {
                host_.post_finished(id, lparam);
            }
            break;
        case UM_STATUS:
            show_on_target(id, host_.fetch_status());
            break;
        case UM_RETRY_COUNT:
            if (id < 0) {
                host_.set_retries(std::to_wstring(lparam));
            } else if (id < view_.item_count()) {
                view_.set_item_text(id, gcol_retries, std::to_wstring(lparam));
            }
            break;
        case UM_RETRY_WAIT:
            show_on_target(id,
                           countdown_text(texts::retry_countdown, lparam) + host_.fetch_status());
            break;
        default:
            break;  // the content length and anything else: nothing to show
    }
}

void Links_grabber::finished(std::int32_t id, std::int64_t outcome) {
    const std::wstring status = host_.fetch_status();
    const bool success = outcome == 0;
    if (success) {
        page_text_ = decode_page_text(host_.fetch_page());
    }
    stop();
    if (id < 0) {
        set_state(State::idle);
        host_.set_get_links_caption(texts::get_links);
        host_.set_status(status);
        if (success) {
            extract();
        }
        return;
    }
    if (state_ != State::verifying) {
        return;
    }
    show_on_target(id, status);
    if (outcome == NT_SESSION_OPEN_FAILED) {
        end_verification();
        return;
    }
    // Only a page fetched for this item is judged; a failed fetch keeps its
    // failure text and verification goes on.
    if (success && id < view_.item_count()) {
        Page_classification verdict = file_host_->classify_page(page_text_);
        view_.set_item_text(id, gcol_status, load_string(verdict_message(verdict.verdict)));
        if (!verdict.file_name.empty() || !verdict.size.empty()) {
            view_.set_item_text(id, gcol_file_name, verdict.file_name);
            view_.set_item_text(id, gcol_size, verdict.size);
        }
    }
    verify_next();
}

}  // namespace corvale
