#pragma once

// Pull-style HTTP over libcurl: a session (user agent, events, a connection
// cache), and requests that are sent, asked for their status and length, and
// read piece by piece at the reader's pace. Everything runs on the thread that
// calls it; every wait ends within about 100 ms of the session's stop event.
//
// Limits: connecting gives up after 30 s; a transfer that receives nothing for
// 60 s fails; at most 10 redirects are followed, and only to http and https.
// The standard proxy variables (http_proxy, https_proxy, no_proxy) are used.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/stop_event.h"
#include "platform/url.h"

namespace corvale {

enum class Http_event { resolving_name, name_resolved, connecting, connected, redirect };
// Called on the thread that drives the request. `info`: the host being
// resolved, the address found or connected to, or the new URL.
using Http_event_handler = std::function<void(Http_event, const std::wstring& info)>;

// Result codes: 0, a libcurl error code, or one of these: the stop event
// ended the wait, or the session's deadline passed.
inline constexpr int k_http_stopped = -1;
inline constexpr int k_http_deadline_passed = -2;

// A result code as text ("Couldn't resolve host name").
std::wstring http_error_text(int error);

class Http_session {
  public:
    Http_session(std::string user_agent, const Stop_event& stop);
    ~Http_session();
    Http_session(const Http_session&) = delete;
    Http_session& operator=(const Http_session&) = delete;

    bool is_open() const { return multi_ != nullptr; }
    void set_event_handler(Http_event_handler handler) { handler_ = std::move(handler); }
    // "scheme://host:port" for the requests made after this; empty: the
    // proxy variables decide.
    void set_proxy(std::string proxy) { proxy_ = std::move(proxy); }
    // The user agent of the requests made after this.
    void set_user_agent(std::string user_agent) { user_agent_ = std::move(user_agent); }
    // From `when` on, every wait of the session's requests (connecting,
    // sending, reading) ends with k_http_deadline_passed: a bound on the
    // whole exchange that a server sending a byte now and then cannot stretch.
    void set_deadline(std::chrono::steady_clock::time_point when) { deadline_ = when; }
    // How long a transfer may receive nothing before it fails (60 s unless
    // set; whole seconds, at least one). For requests made after the call.
    void set_stall_limit(std::chrono::seconds limit) { stall_limit_ = limit; }

  private:
    friend class Http_request;
    void* multi_ = nullptr;  // the connection cache of the session
    std::string user_agent_;
    std::string proxy_;
    const Stop_event& stop_;
    Http_event_handler handler_;
    std::optional<std::chrono::steady_clock::time_point> deadline_;
    std::chrono::seconds stall_limit_{60};
};

// What a request asks for: the parts that parse_url gives. The client parses
// no URL of its own; it composes the request URL from these parts.
using Http_target = Parsed_url;

// How read_reply reads a body.
struct Reply_reading {
    std::size_t piece = 1024;  // the most bytes handed to the sink at once
    // Reading ends once this many bytes have been handed over, the rest of
    // the body unread; no limit when none.
    std::optional<std::uint64_t> limit;
};
// Gets each piece of the body in order; false ends the reading there.
using Reply_sink = std::function<bool(std::string_view piece)>;
struct Reply_read {
    std::uint64_t received = 0;  // bytes handed to the sink
    // 0, or why the reading failed: k_http_stopped when the session's stop
    // event was set (checked after every piece), or a libcurl error code.
    int error = 0;
    bool ended = false;  // the body ended (not the limit or the sink)
    bool limit_reached(const Reply_reading& how) const {
        return !ended && error == 0 && how.limit && received >= *how.limit;
    }
};

// Where a request's receive rate comes from while its body is read: bytes
// per second, 0 for no limit. It is asked before every wait for more of the
// body, and about every 100 ms while the reading is held back, so a change
// applies at once. Called on the thread that reads.
using Receive_rate = std::function<std::uint64_t()>;

// One GET request with "Accept: */*" that bypasses caches.
class Http_request {
  public:
    Http_request(Http_session& session, const Http_target& target);
    ~Http_request();
    Http_request(const Http_request&) = delete;
    Http_request& operator=(const Http_request&) = delete;

    // 0 when the request could be made (a scheme other than http or https,
    // or a URL curl refuses, cannot).
    int open_error() const { return open_error_; }
    // Sends the request (again, when called again) and waits for the
    // response's status line and headers.
    int send();
    int status() const { return status_; }
    std::optional<std::uint64_t> content_length() const;
    // Holds the reading of the body to the rate `rate` gives (before send()).
    // The bytes received never run ahead of the rate by more than one piece
    // of the transfer (a sixteenth of the rate the request was sent with, at
    // most the receive buffer); a reader held back sleeps.
    void set_receive_rate(Receive_rate rate) { receive_rate_ = std::move(rate); }

    struct Read_result {
        std::size_t count = 0;  // 0 with error 0: the body has ended
        int error = 0;
    };
    // Waits for at least one byte of the body, then gives up to `size` bytes.
    Read_result read(char* buffer, std::size_t size);
    // The one read loop: hands the body to `sink` piece by piece until it
    // ends, fails, is stopped, reaches the limit or the sink says enough.
    // The pieces come straight from libcurl's receive buffer, without a copy
    // (what came before the reading, or after its end, is kept for read()).
    Reply_read read_reply(const Reply_reading& how, const Reply_sink& sink);
    // Bytes received and not yet read: the transfer pauses while more than
    // 1 MiB wait, so a slow reader holds little more than that.
    std::size_t unread() const { return spill_.size() - spill_begin_; }

  private:
    friend struct Http_callbacks;

    int drive(const std::function<bool()>& done);
    // Waits for body bytes, then gives a view of up to `size` of them (valid
    // until the next call); an empty view with error 0: the body has ended.
    struct Piece {
        std::string_view data;
        int error = 0;
    };
    Piece take(std::size_t size);
    // One read_reply under way: where the body goes as it arrives.
    struct Reading {
        const Reply_reading& how;
        const Reply_sink& sink;
        Reply_read& result;
        bool over = false;  // the sink, the limit or a stop ended it
    };
    // Hands `data` to the reading piece by piece; the count it took (all of
    // it unless the reading came to its end).
    std::size_t hand_over(Reading& reading, std::string_view data);
    // Waits until the receive rate allows more of the body; 0, or why the
    // wait ended early (stopped, deadline).
    int pace();
    void event(Http_event event, const std::string& info);
    void tell_pending_redirect();
    void detach();
    void reset_response();

    Http_session& session_;
    void* easy_ = nullptr;
    void* headers_ = nullptr;
    std::string url_;
    std::string host_;
    bool redirect_pending_ = false;
    int open_error_ = 0;
    bool attached_ = false;
    bool finished_ = false;
    int result_ = 0;
    bool headers_done_ = false;
    bool paused_ = false;
    bool new_socket_ = false;
    int status_ = 0;
    int block_status_ = 0;
    std::string block_location_;
    int redirects_ = 0;
    std::vector<char> spill_;
    std::size_t spill_begin_ = 0;
    Receive_rate receive_rate_;
    Reading* reading_ = nullptr;  // while read_reply drives the transfer
    std::uint64_t burst_ = 0;     // bytes received since the reading last waited
    bool held_ = false;           // a paced reading received its share for now
    // Held to a rate: bytes that may still be received now (below 0 while
    // the reading has run ahead), counted since pace_time_.
    bool paced_ = false;
    std::uint64_t rate_ = 0;
    double allowance_ = 0.0;
    std::chrono::steady_clock::time_point pace_time_;
};

}  // namespace corvale
