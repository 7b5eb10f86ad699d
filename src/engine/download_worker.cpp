#include "engine/download_worker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "corvale/text_ids.h"
#include "platform/url.h"

namespace corvale {

namespace {

// One buffer holds the API reply (cut at k_api_reply_limit), then file data
// waiting to be written: less than a batch, and a piece after it.
constexpr std::size_t k_api_reply_limit = 307200;
constexpr std::size_t k_write_batch = 286720;
constexpr std::size_t k_small_read = 1024;
// A large file is taken in pieces of up to a write batch; once the start of
// the reply has been judged, a piece of at least k_direct_write bytes that
// finds nothing buffered is written as it is, without a copy.
constexpr std::size_t k_large_read = 286720;
constexpr std::size_t k_direct_write = 65536;
constexpr std::size_t k_transfer_buffer = std::max(k_api_reply_limit, k_write_batch + k_large_read);
constexpr std::uint64_t k_large_reply = 1024000;
constexpr int k_pause_seconds = 10;
constexpr int k_attempts = 4;

// A transfer thread gives way to the thread that shows the downloads, so a
// window that runs twenty fast downloads still answers at once. Where the
// system shares the processor out between sessions or programs first
// (autogroups, a desktop's control groups), as it usually does, this moves
// time between the program's own threads only. Linux keeps the nice value
// per thread, and a thread may always lower its own priority.
constexpr int k_transfer_nice = 19;

void yield_to_the_window() {
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), k_transfer_nice);
}

// Page-aligned: writes from an aligned buffer are markedly faster.
char* allocate_transfer_buffer() {
    return static_cast<char*>(std::aligned_alloc(4096, k_transfer_buffer));
}

}  // namespace

Download_worker::Download_worker(Settings_source settings)
    : Transfer_worker(Sender::download_worker, std::move(settings)),
      buffer_(allocate_transfer_buffer(), &std::free) {}

Download_worker::~Download_worker() {
    stop();
}

int Download_worker::start() {
    stop();
    return start_thread() ? 0 : -1;
}

void Download_worker::set_job(std::int32_t download_number, Output_file* file, std::wstring url,
                              std::shared_ptr<Notification_target> target) {
    id_ = download_number;
    file_ = file;
    url_ = std::move(url);
    target_ = std::move(target);
}

int Download_worker::stop() {
    stop_thread();
    if (file_ != nullptr) {
        file_->close();
        file_ = nullptr;  // a later run gets its file from set_job again
    }
    return 0;
}

std::wstring Download_worker::last_error_text() const {
    const std::lock_guard lock(lock_);
    return last_error_;
}

void Download_worker::report_last_error(const std::wstring& text) {
    {
        const std::lock_guard lock(lock_);
        last_error_ = text;
    }
    post(UM_LAST_ERROR, 0);
}

void Download_worker::run_attempts(Http_session& session) {
    yield_to_the_window();
    for (int attempt_index = 0;; ++attempt_index) {
        if (attempt_index >= 1 && attempt_index < k_attempts &&
            count_down(k_pause_seconds, UM_WAIT)) {
            return;  // stopped during the pause: nothing more is said
        }
        // Each attempt is made with the settings of its start.
        refresh_settings(&session);
        host_ = make_file_host(current_.host);
        const auto url = parse_url(url_);
        const auto link = url ? host_->file_link(*url) : std::nullopt;
        if (!link) {
            report_error(0, NT_LINK_SYNTAX_INVALID);
            return;
        }
        const Http_target api = host_->api_request(*url, *link);
        server_ = api.server;
        post(UM_RETRY_COUNT, attempt_index);
        if (attempt_index >= k_attempts) {
            report_error(0, NT_ATTEMPTS_USED_UP);
            return;
        }
        if (attempt(session, api, *link) == Step::ends) {
            return;
        }
    }
}

Transfer_worker::Step Download_worker::attempt(Http_session& session, const Http_target& api,
                                               const Link_parts& link) {
    Api_reply reply;
    {
        Http_request request(session, api);
        if (const Step sent = exchange(request, true); sent != Step::go_on) {
            return sent;
        }
        Step end = Step::next_attempt;
        const auto received = read_api_reply(request, end);
        if (!received) {
            return end;
        }
        reply = host_->read_api_reply(std::string_view(buffer_.get(), *received));
    }
    if (reply.outcome == Reply_outcome::refused) {
        report_last_error(host_->refusal_text(reply));
    }
    if (reply.asked_wait_seconds > reply.wait_seconds) {
        post(UM_WAIT_CAPPED, reply.asked_wait_seconds);
    }
    if (count_down(reply.wait_seconds, UM_WAIT)) {
        cancel();
        return Step::ends;
    }
    if (reply.outcome != Reply_outcome::direct_link) {
        report_error(0, NT_NO_DIRECT_LINK);
        return Step::next_attempt;
    }
    return fetch_file(session, link, reply);
}

std::optional<std::size_t> Download_worker::read_api_reply(Http_request& request, Step& end) {
    report_status(texts::getting_file_information);
    const auto length = request.content_length();
    post(UM_CONTENT_LENGTH, static_cast<std::int64_t>(length.value_or(0)));
    report_status(texts::retrieving_the_file);
    Reply_progress progress = begin_reply(length);
    // A reply longer than the buffer is cut there and judged by what was kept.
    char* const buffer = buffer_.get();
    std::size_t received = 0;
    const Reply_read read =
        request.read_reply({k_small_read, k_api_reply_limit}, [&](std::string_view piece) {
            std::memcpy(buffer + received, piece.data(), piece.size());
            received += piece.size();
            update_progress(progress, received, false);
            return true;
        });
    if (read.error != 0 && read.error != k_http_stopped) {
        report_error(read.error, NT_READ_FAILED);
        end = Step::next_attempt;
        return std::nullopt;
    }
    if (stop_.is_set()) {
        cancel();
        end = Step::ends;
        return std::nullopt;
    }
    return received;
}

Transfer_worker::Step Download_worker::fetch_file(Http_session& session, const Link_parts& link,
                                                  const Api_reply& reply) {
    const auto url = parse_url(host_->file_request(reply, link));
    if (!url) {
        report_error(0, NT_NO_DIRECT_LINK);  // the named file server is no host
        return Step::next_attempt;
    }
    server_ = url->server;
    Http_request request(session, *url);
    // The file's reading runs under the speed limits: the download takes its
    // share of them while the request lives.
    std::unique_ptr<Speed_limits::Running> limit;
    if (current_.speed_limits) {
        limit = current_.speed_limits->join(id_);
        request.set_receive_rate([&limit] { return limit->rate(); });
    }
    if (const Step sent = exchange(request, false); sent != Step::go_on) {
        return sent;
    }
    // The file's own length, 0 when the server sends none: the window then
    // no longer measures against the API reply's length.
    const auto length = request.content_length();
    post(UM_CONTENT_LENGTH, static_cast<std::int64_t>(length.value_or(0)));
    if (length) {
        post(UM_FILE_SIZE, static_cast<std::int64_t>(*length));
    }
    report_status(texts::downloading_from_direct_link);
    // Every attempt writes the file anew from an empty file, so nothing of an
    // earlier, longer attempt survives behind a shorter reply.
    if (const int error = file_ != nullptr ? file_->restart() : EBADF; error != 0) {
        report_error(error, NT_WRITE_FAILED);
        return Step::ends;
    }
    Reply_progress progress = begin_reply(length);
    progress.limit = limit.get();
    // The block now speaks of the file, not of the API reply before it, with
    // or without a length, also when the file is empty and no read follows.
    // Nothing is posted: the receiver reads it with the next UM_PROGRESS, or
    // at the end.
    update_progress(progress, 0, true, false);
    const std::size_t read_size = length && *length >= k_large_reply ? k_large_read : k_small_read;
    std::uint64_t downloaded = 0;
    std::size_t buffered = 0;
    bool written = false;
    char* const buffer = buffer_.get();
    // Writes `data` to the file; a failure is reported.
    auto write_out = [&](std::string_view data) -> bool {
        const int error = file_ != nullptr ? file_->write(data.data(), data.size()) : EBADF;
        written = true;
        if (error != 0) {
            report_error(error, NT_WRITE_FAILED);
        }
        return error == 0;
    };
    auto write_buffered = [&]() -> bool {
        const std::size_t count = buffered;
        buffered = 0;
        return write_out(std::string_view(buffer, count));
    };
    // A stop keeps what was received: the partial file holds every byte the
    // progress counted.
    auto stopped = [&] {
        if (buffered > 0) {
            write_buffered();
        }
        cancel();
        return Step::ends;
    };
    Step end = Step::go_on;
    const Reply_read read =
        request.read_reply({read_size, std::nullopt}, [&](std::string_view piece) {
            if (written && buffered == 0 && piece.size() >= k_direct_write) {
                downloaded += piece.size();
                update_progress(progress, downloaded, true);
                if (!write_out(piece)) {
                    end = Step::ends;
                    return false;
                }
                return true;  // a stop ends the reading after this piece
            }
            std::memcpy(buffer + buffered, piece.data(), piece.size());
            buffered += piece.size();
            // Only the start of the reply can be the host's expired-session page;
            // the same words after the first write are the file's own content.
            if (!written && host_->session_expired(std::string_view(buffer, buffered))) {
                end = Step::next_attempt;
                return false;
            }
            downloaded += piece.size();
            update_progress(progress, downloaded, true);
            if (stop_.is_set()) {
                return true;  // the reading ends as stopped
            }
            if (buffered >= k_write_batch && !write_buffered()) {
                end = Step::ends;
                return false;
            }
            return true;
        });
    if (end != Step::go_on) {
        return end;
    }
    if (read.error == k_http_stopped) {
        return stopped();
    }
    if (read.error != 0) {
        report_error(read.error, NT_READ_FAILED);
        return Step::next_attempt;
    }
    if (buffered > 0 && !write_buffered()) {
        return Step::ends;
    }
    if (stop_.is_set()) {
        cancel();
        return Step::ends;
    }
    report_status(texts::finished_downloading);
    post(UM_FINISHED, 0);
    return Step::ends;
}

}  // namespace corvale
