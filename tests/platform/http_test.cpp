#include "platform/http.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <thread>

#include "fakehost/fake_host.h"
#include "fakehost/raw_host.h"
#include "platform/wide_text.h"

namespace corvale {
namespace {

using fakehost::Reply;

class HttpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fakehost::clear_proxy_environment();
        // Against a hang only: no test waits that long.
        session.set_deadline(std::chrono::steady_clock::now() + std::chrono::seconds(60));
        session.set_event_handler([this](Http_event event, const std::wstring& info) {
            if (event == Http_event::redirect) {
                redirects.push_back(encode_utf8(info));
            }
        });
    }

    static Http_target local(int port, const std::string& object) {
        return {Service_type::http, L"127.0.0.1", decode_ansi(object),
                static_cast<std::uint16_t>(port)};
    }
    std::string url(const std::string& object) const {
        return "http://127.0.0.1:" + std::to_string(host.port()) + object;
    }

    // Reads the body to its end in pieces of `piece` bytes; `error` is what
    // the last read said.
    static std::string read_all(Http_request& request, std::size_t piece, int& error) {
        std::string body;
        std::vector<char> buffer(piece);
        for (;;) {
            const auto read = request.read(buffer.data(), piece);
            body.append(buffer.data(), read.count);
            if (read.count == 0) {
                error = read.error;
                return body;
            }
        }
    }

    fakehost::File_host_scenario scenario;
    fakehost::Fake_host host{[this](const fakehost::Request& r) { return scenario.handle(r); }};
    Stop_event stop;
    Http_session session{"corvale-test", stop};
    std::vector<std::string> redirects;
};

TEST_F(HttpTest, FollowsRedirectsAndSaysWhereTo) {
    struct Hop {
        std::string path;
        int status;
        std::string location;
    };
    struct Row {
        std::vector<Hop> hops;
        std::vector<std::string> events;  // the new URL of each redirect
        int status;
        std::string body;
        const char* why;
    } rows[] = {
        {{{"/from", 301, "/to"}}, {url("/to")}, 200, "arrived", "a relative Location"},
        {{{"/from", 302, url("/to")}}, {url("/to")}, 200, "arrived", "an absolute one"},
        {{{"/from", 303, "a/one"}, {"/a/one", 307, "../b/../two?x=1"}, {"/two", 308, "/to"}},
         {url("/a/one"), url("/two?x=1"), url("/to")},
         200,
         "arrived",
         "hops in order, each resolved against the one before"},
        {{{"/from", 302, ""}}, {}, 302, "", "a redirect without Location is the reply"},
    };
    scenario.page("/to", Reply{200, "arrived"});
    for (const Row& row : rows) {
        for (const Hop& hop : row.hops) {
            scenario.page(hop.path,
                          Reply{.status = hop.status, .headers = {{"Location", hop.location}}});
        }
        redirects.clear();
        Http_request request(session, local(host.port(), "/from"));
        ASSERT_EQ(request.send(), 0) << row.why;
        EXPECT_EQ(request.status(), row.status) << row.why;
        EXPECT_EQ(redirects, row.events) << row.why;
        int error = -1;
        EXPECT_EQ(read_all(request, 1024, error), row.body) << row.why;
        EXPECT_EQ(error, 0) << row.why;
    }
}

// Ten redirects are followed; the eleventh is the reply.
TEST_F(HttpTest, ARedirectLoopEndsAfterTenHops) {
    scenario.page("/loop", Reply{.status = 302, .headers = {{"Location", "/loop"}}});
    Http_request request(session, local(host.port(), "/loop"));
    ASSERT_EQ(request.send(), 0);
    EXPECT_EQ(request.status(), 302);
    EXPECT_EQ(redirects.size(), 10u);
    EXPECT_EQ(host.requests().size(), 11u);
}

// The transfer pauses while the reader is behind and goes on when it reads
// again: a reader slower than the server still gets every byte, in order,
// and never has much more than the pause threshold waiting in memory.
TEST_F(HttpTest, ASlowReaderGetsEveryByteInOrderWithLittleHeld) {
    constexpr std::uint64_t k_size = 24u << 20;
    scenario.page("/big", Reply{.pattern_size = k_size});
    Http_request request(session, local(host.port(), "/big"));
    ASSERT_EQ(request.send(), 0);
    ASSERT_EQ(request.content_length(), k_size);
    std::string body;
    std::size_t most_unread = 0;
    char piece[1000];
    for (int reads = 1;; ++reads) {
        const auto read = request.read(piece, sizeof piece);
        ASSERT_EQ(read.error, 0);
        if (read.count == 0) {
            break;
        }
        body.append(piece, read.count);
        most_unread = std::max(most_unread, request.unread());
        if (reads % 512 == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));  // the server gets ahead
        }
    }
    EXPECT_TRUE(body == fakehost::pattern_bytes(0, k_size)) << "size " << body.size();
    EXPECT_LE(most_unread, 1536u * 1024) << "1 MiB and one piece of curl's buffer";
}

// A receive rate holds the reading back by sleeping between pieces of a
// sixteenth of the rate; a change applies at once, and a stop ends a wait.
TEST_F(HttpTest, AReceiveRateHoldsTheReadingBackUntilItChanges) {
    constexpr std::uint64_t k_size = 1u << 20;
    constexpr std::uint64_t k_rate = 64 * 1024;
    scenario.page("/big", Reply{.pattern_size = k_size});
    std::uint64_t received = 0;
    Http_request request(session, local(host.port(), "/big"));
    // Held for the first 64 KiB (a second at the rate), then free.
    request.set_receive_rate([&] { return received < k_rate ? k_rate : 0; });
    const auto start = std::chrono::steady_clock::now();  // the rate counts from the sending
    ASSERT_EQ(request.send(), 0);
    std::string body;
    std::size_t most_unread_held = 0;
    char piece[1000];
    for (;;) {
        const auto read = request.read(piece, sizeof piece);
        ASSERT_EQ(read.error, 0);
        if (read.count == 0) {
            break;
        }
        body.append(piece, read.count);
        received += read.count;
        if (received < k_rate) {
            most_unread_held = std::max(most_unread_held, request.unread());
            // Never more than one piece ahead of the rate.
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            EXPECT_LE(received, seconds * k_rate + k_rate / 16 + sizeof piece);
        }
    }
    EXPECT_TRUE(body == fakehost::pattern_bytes(0, k_size)) << "size " << body.size();
    EXPECT_LE(most_unread_held, k_rate / 16) << "one piece at a time while held";

    Http_request slow(session, local(host.port(), "/big"));
    slow.set_receive_rate([] { return std::uint64_t{1024}; });
    ASSERT_EQ(slow.send(), 0);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop.set();
    });
    int error = 0;
    const std::string part = read_all(slow, sizeof piece, error);
    stopper.join();
    EXPECT_EQ(error, k_http_stopped);
    EXPECT_LT(part.size(), 4096u);
}

// Interim replies (1xx) come before the real one and are passed over.
TEST_F(HttpTest, InterimRepliesArePassedOver) {
    struct Row {
        std::string interim;
        std::string final_head;
        int status;
        const char* why;
    } rows[] = {
        {"HTTP/1.1 100 Continue\r\n\r\n", "HTTP/1.1 200 OK\r\n", 200, "100 Continue"},
        {"HTTP/1.1 103 Early Hints\r\nLink: </a.css>; rel=preload\r\n\r\n", "HTTP/1.1 200 OK\r\n",
         200, "103 with a header of its own"},
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\n\r\n",
         "HTTP/1.1 404 Not Found\r\n", 404, "two of them before a 404"},
        {"HTTP/1.1 103 Early Hints\r\nLocation: /elsewhere\r\n\r\n", "HTTP/1.1 200 OK\r\n", 200,
         "an interim Location leads nowhere"},
    };
    for (const Row& row : rows) {
        // The real reply comes a moment later, as from a server that is busy.
        fakehost::Raw_host raw(
            {row.interim, row.final_head + "Content-Length: 5\r\nConnection: close\r\n\r\nhello"});
        redirects.clear();
        Http_request request(session, local(raw.port(), "/"));
        ASSERT_EQ(request.send(), 0) << row.why;
        EXPECT_EQ(request.status(), row.status) << row.why;
        EXPECT_EQ(request.content_length(), 5u) << row.why;
        int error = -1;
        EXPECT_EQ(read_all(request, 2, error), "hello") << row.why;
        EXPECT_EQ(error, 0) << row.why;
        EXPECT_TRUE(redirects.empty()) << row.why;
    }
}

// A server that stops sending: the stall limit ends the wait for the reply
// or for the rest of the body.
TEST_F(HttpTest, AStalledTransferIsAborted) {
    session.set_stall_limit(std::chrono::seconds(1));
    {
        fakehost::Raw_host silent({""});
        Http_request request(session, local(silent.port(), "/"));
        EXPECT_EQ(request.send(), CURLE_OPERATION_TIMEDOUT) << "no reply at all";
    }
    fakehost::Raw_host stops({"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nthe start"});
    Http_request request(session, local(stops.port(), "/"));
    ASSERT_EQ(request.send(), 0);
    int error = 0;
    EXPECT_EQ(read_all(request, 4, error), "the start");
    EXPECT_EQ(error, CURLE_OPERATION_TIMEDOUT) << "a body that stops";
}

}  // namespace
}  // namespace corvale
