#include "engine/page_fetcher.h"

#include <algorithm>

#include "corvale/text_ids.h"
#include "corvale/version.h"
#include "platform/url.h"
#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr std::size_t k_read_size = 1024;
constexpr std::size_t k_unknown_size = 307200;
constexpr std::size_t k_slack = 10;
// A page ends after its first 32 MiB: what a longer (or endless) reply sent
// after that is not read, and the page is what was kept.
constexpr std::size_t k_page_limit = 32u << 20;
constexpr int k_pause_seconds = 10;
constexpr int k_attempts = 2;

}  // namespace

Page_fetcher::Page_fetcher(std::int32_t identifier, std::wstring url,
                           std::shared_ptr<Notification_target> target, Settings_source settings)
    : Transfer_worker(Sender::page_fetcher, std::move(settings)), url_(std::move(url)) {
    id_ = identifier;
    target_ = std::move(target);
    created_ = start_thread();
}

Page_fetcher::~Page_fetcher() {
    stop();
}

std::string Page_fetcher::user_agent(const Transfer_values& values) const {
    return values.page_user_agent.empty() ? encode_utf8(k_product_name) : values.page_user_agent;
}

int Page_fetcher::stop() {
    stop_thread();
    return 0;
}

void Page_fetcher::run_attempts(Http_session& session) {
    for (int attempt_index = 0;; ++attempt_index) {
        const auto url = parse_url(url_);
        if (!url) {
            report_error(0, NT_URL_INCORRECT);
            return;
        }
        server_ = url->server;
        if (attempt_index >= 1 && count_down(k_pause_seconds, UM_RETRY_WAIT)) {
            cancel();
            return;
        }
        refresh_settings(&session);
        post(UM_RETRY_COUNT, attempt_index);
        if (attempt_index >= k_attempts) {
            report_error(0, NT_ATTEMPTS_USED_UP);
            return;
        }
        if (attempt(session, *url) == Step::ends) {
            return;
        }
    }
}

Transfer_worker::Step Page_fetcher::attempt(Http_session& session, const Http_target& target) {
    Http_request request(session, target);
    if (const Step sent = exchange(request, true); sent != Step::go_on) {
        return sent;
    }
    report_status(texts::getting_file_information);
    const auto length = request.content_length();
    if (length) {
        post(UM_CONTENT_LENGTH, static_cast<std::int64_t>(*length));
    }
    report_status(texts::retrieving_the_file);
    Reply_progress progress = begin_reply(length);
    page_.clear();
    cut_ = false;
    page_.reserve(std::min<std::uint64_t>(length.value_or(k_unknown_size), k_page_limit) + k_slack);
    const Reply_reading reading{k_read_size, k_page_limit};
    const Reply_read read = request.read_reply(reading, [&](std::string_view piece) {
        page_.append(piece);
        update_progress(progress, page_.size(), true);
        return true;
    });
    if (read.error == k_http_stopped) {
        cancel();
        return Step::ends;
    }
    if (read.error != 0) {
        report_error(read.error, NT_READ_FAILED);
        page_.clear();
        return Step::next_attempt;
    }
    if (stop_.is_set()) {
        cancel();
        return Step::ends;
    }
    // Without a length, a reply that ends right at the limit cannot be told
    // from a longer one without reading on.
    cut_ = read.limit_reached(reading) && (!length || *length > page_.size());
    // std::string keeps a NUL after its bytes: the page ends with one.
    report_status(texts::finished_downloading);
    post(UM_FINISHED, 0);
    return Step::ends;
}

}  // namespace corvale
