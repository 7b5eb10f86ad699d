#include "platform/http.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/wide_text.h"

namespace corvale {

namespace {

constexpr long k_connect_timeout_s = 30;
constexpr long k_max_redirects = 10;
constexpr int k_poll_ms = 100;
constexpr long k_receive_buffer = 512 * 1024;
// Past this many unread bytes the transfer pauses until the reader catches up.
constexpr std::size_t k_spill_limit = 2 * k_receive_buffer;
// A request held to a rate receives pieces of a sixteenth of a second of it
// (as small as libcurl allows, at most the receive buffer), and takes more
// than one at a time only while they add up to no more than that: the
// reading runs ahead of the rate by no more than a sixteenth of a second, or
// one piece.
constexpr std::uint64_t k_paced_pieces_per_second = 16;
constexpr long k_smallest_receive_buffer = 1024;
// What a paced request may save up while the server is slower than the rate.
constexpr double k_paced_reserve_seconds = 0.25;

void global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool is_redirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

bool starts_with_ignoring_case(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (fold_az(text[i]) != fold_az(prefix[i])) {
            return false;
        }
    }
    return true;
}

}  // namespace

// libcurl's callbacks, with the exact signatures it calls them with.
struct Http_callbacks {
    static std::size_t on_header(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t on_body(char* data, std::size_t size, std::size_t count, void* self);
    static int on_resolver_start(void* resolver, void* reserved, void* self);
    static curl_socket_t on_open_socket(void* self, curlsocktype purpose, curl_sockaddr* address);
    static int on_prerequest(void* self, char* primary_ip, char* local_ip, int primary_port,
                             int local_port);
};

Http_session::Http_session(std::string user_agent, const Stop_event& stop)
    : user_agent_(std::move(user_agent)), stop_(stop) {
    global_init();
    multi_ = curl_multi_init();
}

Http_session::~Http_session() {
    if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}

std::wstring http_error_text(int error) {
    if (error == k_http_stopped) {
        return L"Stopped";
    }
    if (error == k_http_deadline_passed) {
        return L"Deadline passed";
    }
    return decode_ansi(curl_easy_strerror(static_cast<CURLcode>(error)));
}

Http_request::Http_request(Http_session& session, const Http_target& target)
    : session_(session), host_(encode_utf8(target.server)) {
    if (!session.is_open()) {
        open_error_ = CURLE_FAILED_INIT;
        return;
    }
    if (target.service != Service_type::http && target.service != Service_type::https) {
        open_error_ = CURLE_UNSUPPORTED_PROTOCOL;
        return;
    }
    const auto url = request_url(target);
    if (!url) {
        open_error_ = CURLE_URL_MALFORMAT;
        return;
    }
    url_ = *url;
    easy_ = curl_easy_init();
    if (easy_ == nullptr) {
        open_error_ = CURLE_FAILED_INIT;
        return;
    }
    curl_slist* headers = nullptr;
    headers = curl_slist_append(headers, "Accept: */*");
    headers = curl_slist_append(headers, "Cache-Control: no-cache");
    headers = curl_slist_append(headers, "Pragma: no-cache");
    headers_ = headers;

    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy_, CURLOPT_USERAGENT, session.user_agent_.c_str());
    if (!session.proxy_.empty()) {
        curl_easy_setopt(easy_, CURLOPT_PROXY, session.proxy_.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, k_max_redirects);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, k_connect_timeout_s);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME,
                     std::max<long>(1, static_cast<long>(session.stall_limit_.count())));
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, k_receive_buffer);
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &Http_callbacks::on_header);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &Http_callbacks::on_body);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_RESOLVER_START_FUNCTION, &Http_callbacks::on_resolver_start);
    curl_easy_setopt(easy_, CURLOPT_RESOLVER_START_DATA, this);
    curl_easy_setopt(easy_, CURLOPT_OPENSOCKETFUNCTION, &Http_callbacks::on_open_socket);
    curl_easy_setopt(easy_, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &Http_callbacks::on_prerequest);
    curl_easy_setopt(easy_, CURLOPT_PREREQDATA, this);
}

Http_request::~Http_request() {
    detach();
    if (easy_ != nullptr) {
        curl_easy_cleanup(easy_);
    }
    curl_slist_free_all(static_cast<curl_slist*>(headers_));
}

void Http_request::detach() {
    if (attached_) {
        curl_multi_remove_handle(session_.multi_, easy_);
        attached_ = false;
    }
}

void Http_request::reset_response() {
    finished_ = false;
    result_ = 0;
    headers_done_ = false;
    paused_ = false;
    status_ = 0;
    block_status_ = 0;
    block_location_.clear();
    redirects_ = 0;
    redirect_pending_ = false;
    spill_.clear();
    spill_begin_ = 0;
}

int Http_request::send() {
    if (open_error_ != 0) {
        return open_error_;
    }
    detach();
    reset_response();
    const std::uint64_t rate = receive_rate_ ? receive_rate_() : 0;
    long buffer = k_receive_buffer;
    if (rate != 0) {
        buffer = static_cast<long>(std::clamp<std::uint64_t>(
            rate / k_paced_pieces_per_second, k_smallest_receive_buffer, k_receive_buffer));
    }
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, buffer);
    paced_ = rate != 0;
    rate_ = rate;
    allowance_ = 0.0;
    pace_time_ = std::chrono::steady_clock::now();
    if (curl_multi_add_handle(session_.multi_, easy_) != CURLM_OK) {
        return CURLE_FAILED_INIT;
    }
    attached_ = true;
    const int result = drive([this] { return headers_done_ || finished_; });
    if (result != 0) {
        return result;
    }
    if (!headers_done_) {
        return result_ != 0 ? result_ : CURLE_GOT_NOTHING;
    }
    return 0;
}

std::optional<std::uint64_t> Http_request::content_length() const {
    curl_off_t length = -1;
    if (easy_ == nullptr ||
        curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK ||
        length < 0) {
        return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
}

Http_request::Piece Http_request::take(std::size_t size) {
    if (!attached_ && !finished_) {
        return {{}, CURLE_FAILED_INIT};
    }
    if (spill_begin_ == spill_.size() && !finished_) {
        if (const int waited = pace(); waited != 0) {
            return {{}, waited};
        }
        if (paused_) {
            paused_ = false;
            curl_easy_pause(easy_, CURLPAUSE_CONT);  // may hand over data at once
        }
        const int result = drive([this] { return spill_begin_ < spill_.size() || finished_; });
        if (result != 0) {
            return {{}, result};
        }
    }
    const std::size_t available = spill_.size() - spill_begin_;
    if (available == 0) {
        return {{}, result_};
    }
    const std::size_t count = std::min(size, available);
    const std::string_view data(spill_.data() + spill_begin_, count);
    spill_begin_ += count;
    return {data, 0};
}

Http_request::Read_result Http_request::read(char* buffer, std::size_t size) {
    const Piece piece = take(size);
    if (!piece.data.empty()) {  // an empty piece may have no data pointer at all
        std::memcpy(buffer, piece.data.data(), piece.data.size());
    }
    return {piece.data.size(), piece.error};
}

std::size_t Http_request::hand_over(Reading& reading, std::string_view data) {
    std::size_t used = 0;
    const Reply_reading& how = reading.how;
    while (used < data.size() && !reading.over) {
        std::size_t size = std::min(how.piece, data.size() - used);
        if (how.limit) {
            if (reading.result.received >= *how.limit) {
                reading.over = true;
                break;
            }
            size = static_cast<std::size_t>(
                std::min<std::uint64_t>(size, *how.limit - reading.result.received));
        }
        const std::string_view piece = data.substr(used, size);
        used += size;
        reading.result.received += size;
        if (!reading.sink(piece)) {
            reading.over = true;
        } else if (session_.stop_.is_set()) {
            reading.result.error = k_http_stopped;
            reading.over = true;
        }
    }
    if (how.limit && reading.result.received >= *how.limit) {
        reading.over = true;
    }
    return used;
}

Reply_read Http_request::read_reply(const Reply_reading& how, const Reply_sink& sink) {
    Reply_read result;
    Reading reading{how, sink, result};
    // What was received before the reading began goes first.
    if (spill_begin_ < spill_.size()) {
        spill_begin_ += hand_over(
            reading, std::string_view(spill_.data() + spill_begin_, spill_.size() - spill_begin_));
        if (reading.over) {
            return result;
        }
    }
    if (!attached_ && !finished_) {
        result.error = CURLE_FAILED_INIT;
        return result;
    }
    while (!finished_) {
        if (const int waited = pace(); waited != 0) {
            result.error = waited;
            return result;
        }
        reading_ = &reading;
        burst_ = 0;
        held_ = false;
        if (paused_) {
            paused_ = false;
            curl_easy_pause(easy_, CURLPAUSE_CONT);  // may hand over data at once
        }
        const int driven = drive([&] { return reading.over || held_ || finished_; });
        reading_ = nullptr;
        if (driven != 0) {
            result.error = driven;
            return result;
        }
        if (reading.over) {
            return result;
        }
    }
    if (result_ != 0) {
        result.error = result_;
    } else {
        result.ended = true;
    }
    return result;
}

int Http_request::pace() {
    if (!receive_rate_) {
        return 0;
    }
    for (;;) {
        const std::uint64_t rate = receive_rate_();
        const auto now = std::chrono::steady_clock::now();
        rate_ = rate;
        if (rate == 0) {
            paced_ = false;
            return 0;
        }
        if (!paced_) {  // held to a rate from now on, with nothing saved up
            paced_ = true;
            allowance_ = 0.0;
            pace_time_ = now;
        }
        const double seconds = std::chrono::duration<double>(now - pace_time_).count();
        pace_time_ = now;
        allowance_ = std::min(allowance_ + seconds * static_cast<double>(rate),
                              k_paced_reserve_seconds * static_cast<double>(rate));
        if (allowance_ >= 0.0) {
            return 0;
        }
        if (session_.deadline_ && now >= *session_.deadline_) {
            return k_http_deadline_passed;
        }
        // Looks at the rate again at least every poll period: a change
        // applies while the reading waits.
        const auto wait = std::min<std::chrono::steady_clock::duration>(
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                std::chrono::duration<double>(-allowance_ / static_cast<double>(rate))),
            std::chrono::milliseconds(k_poll_ms));
        if (session_.stop_.wait_for(std::chrono::duration_cast<std::chrono::milliseconds>(wait) +
                                    std::chrono::milliseconds(1))) {
            return k_http_stopped;
        }
    }
}

int Http_request::drive(const std::function<bool()>& done) {
    while (!done()) {
        if (session_.stop_.is_set()) {
            return k_http_stopped;
        }
        if (session_.deadline_ && std::chrono::steady_clock::now() >= *session_.deadline_) {
            return k_http_deadline_passed;
        }
        int running = 0;
        if (curl_multi_perform(session_.multi_, &running) != CURLM_OK) {
            return CURLE_FAILED_INIT;
        }
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(session_.multi_, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
                finished_ = true;
                result_ = message->data.result;
            }
        }
        if (done()) {
            break;
        }
        if (curl_multi_poll(session_.multi_, nullptr, 0, k_poll_ms, nullptr) != CURLM_OK) {
            return CURLE_FAILED_INIT;
        }
    }
    return 0;
}

// A redirect is told once curl has moved on to its target, before anything
// else of the new hop: the URL then is the one curl resolved the Location to.
void Http_request::tell_pending_redirect() {
    if (!redirect_pending_) {
        return;
    }
    redirect_pending_ = false;
    char* current = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
    const std::string url = current != nullptr ? current : "";
    const auto parsed = parse_url(decode_ansi(url));
    host_ = parsed ? encode_utf8(parsed->server) : std::string();
    event(Http_event::redirect, url);
}

void Http_request::event(Http_event kind, const std::string& info) {
    if (session_.handler_) {
        session_.handler_(kind, decode_ansi(info));
    }
}

std::size_t Http_callbacks::on_header(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<Http_request*>(self);
    const std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        const std::size_t blank = line.find(' ');
        request->block_status_ =
            blank == std::string_view::npos ? 0 : parse_int(line.substr(blank + 1));
        request->block_location_.clear();
    } else if (starts_with_ignoring_case(line, "location:")) {
        request->block_location_ = std::string(trim_space(line.substr(9)));
    } else if (trim_space(line).empty()) {
        const int status = request->block_status_;
        if (status >= 100 && status < 200) {
            return line.size();  // an interim response; the real one follows
        }
        if (is_redirect(status) && !request->block_location_.empty() &&
            request->redirects_ < k_max_redirects) {
            ++request->redirects_;
            request->redirect_pending_ = true;
            return line.size();
        }
        request->status_ = status;
        request->headers_done_ = true;
    }
    return line.size();
}

std::size_t Http_callbacks::on_body(char* data, std::size_t size, std::size_t count, void* self) {
    auto* request = static_cast<Http_request*>(self);
    const std::size_t bytes = size * count;
    if (request->spill_begin_ == request->spill_.size()) {
        request->spill_.clear();
        request->spill_begin_ = 0;
    }
    const std::size_t unread = request->spill_.size() - request->spill_begin_;
    // Held to a rate, the reading takes no more at once than a sixteenth of
    // a second of it, or one piece: the next waits for its turn.
    const std::uint64_t ahead = request->reading_ != nullptr ? request->burst_ : unread;
    const bool held =
        request->paced_ && ahead > 0 && ahead + bytes > request->rate_ / k_paced_pieces_per_second;
    if (unread >= k_spill_limit || held) {
        request->paused_ = true;
        request->held_ = held;
        return CURL_WRITEFUNC_PAUSE;
    }
    if (request->paced_) {
        request->allowance_ -= static_cast<double>(bytes);
    }
    request->burst_ += bytes;
    std::size_t used = 0;
    if (request->reading_ != nullptr && unread == 0) {
        used = request->hand_over(*request->reading_, std::string_view(data, bytes));
    }
    // What no reading took waits for the next.
    request->spill_.insert(request->spill_.end(), data + used, data + bytes);
    return bytes;
}

int Http_callbacks::on_resolver_start(void*, void*, void* self) {
    auto* request = static_cast<Http_request*>(self);
    request->tell_pending_redirect();
    request->event(Http_event::resolving_name, request->host_);
    return 0;
}

curl_socket_t Http_callbacks::on_open_socket(void* self, curlsocktype, curl_sockaddr* address) {
    auto* request = static_cast<Http_request*>(self);
    request->tell_pending_redirect();
    char text[INET6_ADDRSTRLEN] = "";
    if (address->family == AF_INET) {
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(&address->addr)->sin_addr, text,
                  sizeof text);
    } else if (address->family == AF_INET6) {
        inet_ntop(AF_INET6, &reinterpret_cast<sockaddr_in6*>(&address->addr)->sin6_addr, text,
                  sizeof text);
    }
    request->event(Http_event::name_resolved, text);
    request->event(Http_event::connecting, text);
    request->new_socket_ = true;
    return ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

int Http_callbacks::on_prerequest(void* self, char* primary_ip, char*, int, int) {
    auto* request = static_cast<Http_request*>(self);
    request->tell_pending_redirect();
    if (request->new_socket_) {
        request->new_socket_ = false;
        request->event(Http_event::connected, primary_ip != nullptr ? primary_ip : "");
    }
    return CURL_PREREQFUNC_OK;
}

}  // namespace corvale
