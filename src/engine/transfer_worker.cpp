#include "engine/transfer_worker.h"

#include <algorithm>
#include <limits>

#include "corvale/text_ids.h"
#include "platform/string_table.h"

namespace corvale {

namespace {

constexpr std::uint32_t k_sample_period_ms = 1000;
constexpr int k_max_auth_resends = 5;
constexpr std::size_t k_drain_read = 50;
// More of an authentication reply than this is not read: a body that never
// ends must not hold the worker. The connection is then given up.
constexpr std::size_t k_drain_limit = 64 * 1024;

}  // namespace

std::uint32_t steady_tick() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

Transfer_worker::Transfer_worker(Sender sender, Settings_source settings)
    : settings_(settings_or_default(std::move(settings))), sender_(sender) {
    refresh_settings();
}

void Transfer_worker::refresh_settings(Http_session* session) {
    current_ = settings_->current();
    if (!current_.timing.tick) {
        current_.timing.tick = steady_tick;
    }
    if (session != nullptr) {
        session->set_user_agent(user_agent(current_));
        session->set_proxy(current_.proxy);
    }
}

Transfer_worker::~Transfer_worker() {
    stop_thread();
}

std::wstring Transfer_worker::status_text() const {
    const std::lock_guard lock(lock_);
    return status_;
}

Progress_block Transfer_worker::take_progress() {
    Progress_block copy;
    {
        const std::lock_guard lock(lock_);
        copy = progress_;
        progress_.percent_changed = false;
        progress_.time_left_changed = false;
        progress_.speed_changed = false;
    }
    progress_posted_.store(false, std::memory_order_release);
    return copy;
}

void Transfer_worker::post(std::uint32_t message, std::int64_t lparam) {
    if (target_) {
        target_->post({message, id_, lparam});
    }
}

void Transfer_worker::set_status(const std::wstring& text) {
    {
        const std::lock_guard lock(lock_);
        status_ = text;
    }
    post(UM_STATUS, 0);
}

void Transfer_worker::report_status(int message_id) {
    set_status(load_string(message_id));
}

void Transfer_worker::report_error(long long number, Notification_type type) {
    const std::wstring text =
        format_message(message_for_type(type, sender_), {std::to_wstring(number)});
    {
        const std::lock_guard lock(lock_);
        status_ = text;
    }
    post(UM_ERROR, type);
}

Transfer_worker::Reply_progress Transfer_worker::begin_reply(
    std::optional<std::uint64_t> content_length) const {
    const std::uint32_t now = current_.timing.tick();
    return {content_length.value_or(0), content_length.has_value(), now, now, 0};
}

void Transfer_worker::update_progress(Reply_progress& reply, std::uint64_t received,
                                      bool file_phase, bool notify) {
    int percentage = 0;
    if (reply.size_known && reply.size > 0) {
        percentage = static_cast<int>(std::min(
            100.0, static_cast<double>(received) * 100.0 / static_cast<double>(reply.size)));
    } else if (reply.size_known) {
        percentage = 100;  // nothing to receive: complete
    }
    const std::uint32_t now = current_.timing.tick();
    const std::uint32_t elapsed = now - reply.last_sample_tick;
    const bool sample = elapsed > k_sample_period_ms;
    double speed = 0.0;
    std::uint32_t time_left = 0;
    const bool time_left_known = sample && reply.size_known && received != 0;
    const std::uint64_t rate_limit = reply.limit != nullptr ? reply.limit->rate() : 0;
    if (sample) {
        speed = static_cast<double>(received - reply.last_sample_bytes) / elapsed;
        reply.last_sample_tick = now;
        reply.last_sample_bytes = received;
        if (time_left_known) {
            const double left = received < reply.size ? double(reply.size - received) : 0.0;
            // Milliseconds per byte so far, and no fewer than the limit allows.
            double per_byte = static_cast<double>(now - reply.start_tick) / received;
            if (rate_limit != 0) {
                per_byte = std::max(per_byte, 1000.0 / static_cast<double>(rate_limit));
            }
            time_left = static_cast<std::uint32_t>(
                std::min(per_byte * left / 1000.0,
                         static_cast<double>(std::numeric_limits<std::uint32_t>::max())));
        }
    }
    {
        const std::lock_guard lock(lock_);
        // The count is the reply's own whether or not a length was sent: a
        // reply without one must not leave the count of the reply before it.
        // Size 0 and percentage 0 then say that the end is unknown.
        progress_.downloaded = received;
        progress_.size = reply.size;
        progress_.percentage = percentage;
        progress_.rate_limit = rate_limit;
        if (reply.size_known) {
            progress_.percent_changed = progress_.percent_changed || file_phase;
        }
        if (sample) {
            progress_.speed = speed;
            progress_.speed_changed = true;
        }
        if (time_left_known) {
            progress_.time_left = time_left;
            progress_.time_left_changed = true;
        }
    }
    // At most one unhandled UM_PROGRESS: the receiver reads the newest values.
    if (notify && !progress_posted_.exchange(true, std::memory_order_acq_rel)) {
        post(UM_PROGRESS, 0);
    }
}

bool Transfer_worker::count_down(int seconds, std::uint32_t message) {
    for (int left = seconds - 1; left >= 0; --left) {
        post(message, left);
        if (stop_.wait_for(current_.timing.second)) {
            return true;
        }
    }
    return false;
}

Transfer_worker::Step Transfer_worker::exchange(Http_request& request, bool resend_on_auth) {
    const auto cancelled = [this] {
        cancel();
        return Step::ends;
    };
    if (stop_.is_set()) {
        return cancelled();
    }
    if (request.open_error() != 0) {
        report_error(request.open_error(), NT_OPEN_REQUEST_FAILED);
        return Step::next_attempt;
    }
    for (int resends = 0;; ++resends) {
        if (stop_.is_set()) {
            return cancelled();
        }
        const int sent = request.send();
        if (sent == k_http_stopped) {
            return cancelled();
        }
        if (sent != 0) {
            report_error(sent, NT_SEND_REQUEST_FAILED);
            return Step::next_attempt;
        }
        const int status = request.status();
        if (status <= 0) {
            report_error(0, NT_STATUS_QUERY_FAILED);
            return Step::next_attempt;
        }
        const bool auth = status == 401 || status == 407;
        if (resend_on_auth && auth && resends < k_max_auth_resends) {
            const Reply_reading drain{k_drain_read, k_drain_limit + 1};
            const Reply_read read =
                request.read_reply(drain, [](std::string_view) { return true; });
            if (read.error == k_http_stopped) {
                return cancelled();
            }
            if (!read.limit_reached(drain)) {
                continue;  // the body ended, or failed: send again
            }
        }
        if (status != 200) {
            report_error(status, NT_HTTP_STATUS_NOT_OK);
            return Step::next_attempt;
        }
        return Step::go_on;
    }
}

void Transfer_worker::run() {
    refresh_settings();
    const auto session = open_session();
    if (!session->is_open()) {
        report_error(0, NT_SESSION_OPEN_FAILED);
        return;
    }
    if (stop_.is_set()) {
        cancel();
        return;
    }
    run_attempts(*session);
}

std::unique_ptr<Http_session> Transfer_worker::open_session() {
    auto session = std::make_unique<Http_session>(user_agent(current_), stop_);
    session->set_proxy(current_.proxy);
    session->set_event_handler([this](Http_event event, const std::wstring& info) {
        // Connecting and connected name the server being requested; the other
        // events name what the client reports (host, address, new URL).
        struct Event_text {
            Http_event event;
            int message;
            bool names_server;
        };
        static constexpr Event_text k_texts[] = {
            {Http_event::resolving_name, texts::resolving_name, false},
            {Http_event::name_resolved, texts::name_resolved, false},
            {Http_event::connecting, texts::connecting_to, true},
            {Http_event::connected, texts::connected_to, true},
            {Http_event::redirect, texts::redirecting_to, false},
        };
        for (const Event_text& text : k_texts) {
            if (text.event == event) {
                set_status(format_message(text.message, {text.names_server ? server_ : info}));
            }
        }
    });
    return session;
}

void Transfer_worker::stop_thread() {
    if (thread_.exists()) {
        stop_.set();
        thread_.join();
    }
    stop_.reset();
}

}  // namespace corvale
