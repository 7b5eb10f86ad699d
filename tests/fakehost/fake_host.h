#pragma once

// A scripted HTTP server on 127.0.0.1 (an ephemeral port) that plays the file
// host in tests: API replies, file bodies, status codes, replies without
// Content-Length, delays, dropped connections, bodies that drip, pages. It
// also answers proxy-style requests ("GET http://any.host/path"), so the real
// program can reach it through http_proxy with its default host names.
// Loopback only.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace corvale::fakehost {

struct Reply {
    int status = 200;
    std::string body;
    // Non-zero: the body is this many bytes of the test pattern instead.
    std::uint64_t pattern_size = 0;
    bool content_length = true;  // false: chunked, no Content-Length
    std::chrono::milliseconds delay{0};
    // Close the connection after this many body bytes (a length is still sent).
    std::optional<std::uint64_t> drop_after;
    // Pause this long after every 64 KiB of body: a slow transfer.
    std::chrono::milliseconds pace{0};
    std::vector<std::pair<std::string, std::string>> headers;
    // The body (the test pattern) never ends: chunked, until the client goes.
    bool endless = false;
    // Non-zero: the body goes out one byte at a time, each after this pause:
    // a server that drips.
    std::chrono::milliseconds drip{0};
};

struct Request {
    std::string host;   // from the Host header
    std::string path;   // without scheme and host, without query
    std::string query;  // raw, without '?'
    std::multimap<std::string, std::string> headers;
    std::string param(const std::string& key) const;  // from the raw query, undecoded
};

// Clears the proxy variables of the environment, so that requests to the
// local host go straight to it, whatever the machine running the tests sets.
void clear_proxy_environment();

// Byte `offset` of the test pattern: files whose every byte can be checked.
char pattern_byte(std::uint64_t offset);
std::string pattern_bytes(std::uint64_t offset, std::size_t count);

class Fake_host {
  public:
    using Handler = std::function<Reply(const Request&)>;

    // Listens on 127.0.0.1; `port` 0 picks a free one.
    explicit Fake_host(Handler handler, int port = 0);
    ~Fake_host();
    Fake_host(const Fake_host&) = delete;
    Fake_host& operator=(const Fake_host&) = delete;

    int port() const { return port_; }
    std::vector<Request> requests() const;

  private:
    struct Server;
    std::unique_ptr<Server> server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<Request> requests_;
    Handler handler_;
};

// The file host's two interfaces and its pages. API and file replies are
// given per file id as queues (the last one repeats); "{server}" in an API
// reply becomes the address of this host, so direct links lead back to it.
class File_host_scenario {
  public:
    void api_replies(const std::string& file_id, std::vector<Reply> replies);
    void file_replies(const std::string& file_id, std::vector<Reply> replies);
    void file(const std::string& file_id, Reply reply) {
        file_replies(file_id, {std::move(reply)});
    }
    void page(const std::string& path, Reply reply);
    void set_server(const std::string& address) { server_ = address; }

    Reply handle(const Request& request);

  private:
    std::mutex mutex_;
    std::string server_;
    std::map<std::string, std::deque<Reply>> api_;
    std::map<std::string, std::deque<Reply>> files_;
    std::map<std::string, Reply> pages_;
};

}  // namespace corvale::fakehost
