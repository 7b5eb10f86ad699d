#include "fakehost/fake_host.h"

#include <httplib.h>

#include <stdlib.h>

#include <algorithm>
#include <array>

namespace corvale::fakehost {

namespace {

// The pattern repeats with a prime period, so shifted copies never match.
constexpr std::size_t k_pattern_period = 1048573;

const std::string& pattern_block() {
    static const std::string block = [] {
        std::string bytes(k_pattern_period, '\0');
        std::uint32_t state = 2463534242u;
        for (char& byte : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state & 0xFF);
        }
        return bytes;
    }();
    return block;
}

// Writes `count` pattern bytes from `offset` into the sink.
bool write_pattern(httplib::DataSink& sink, std::uint64_t offset, std::uint64_t count) {
    const std::string& block = pattern_block();
    while (count > 0) {
        const std::size_t at = static_cast<std::size_t>(offset % k_pattern_period);
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(
            count, std::min<std::size_t>(k_pattern_period - at, 256 * 1024)));
        if (!sink.write(block.data() + at, n)) {
            return false;
        }
        offset += n;
        count -= n;
    }
    return true;
}

Request to_request(const httplib::Request& raw) {
    Request request;
    request.host = raw.get_header_value("Host");
    std::string target = raw.target;
    // A proxy-style request names the host in its target.
    if (const std::size_t scheme = target.find("://");
        scheme != std::string::npos && scheme < target.find('/')) {
        const std::size_t path = target.find('/', scheme + 3);
        target = path == std::string::npos ? "/" : target.substr(path);
    }
    const std::size_t question = target.find('?');
    request.path = target.substr(0, question);
    request.query = question == std::string::npos ? "" : target.substr(question + 1);
    for (const auto& [name, value] : raw.headers) {
        request.headers.emplace(name, value);
    }
    return request;
}

void apply(const Reply& reply, httplib::Response& response) {
    response.status = reply.status;
    for (const auto& [name, value] : reply.headers) {
        response.set_header(name, value);
    }
    const std::uint64_t size = reply.pattern_size != 0 ? reply.pattern_size : reply.body.size();
    const std::uint64_t limit = reply.drop_after.value_or(size);
    const bool pattern = reply.pattern_size != 0;
    const std::string body = reply.body;
    const auto pace = reply.pace;
    const auto drip = reply.drip;
    auto provide = [body, pattern, limit, pace, drip](std::uint64_t offset, std::uint64_t count,
                                                      httplib::DataSink& sink) {
        if (offset >= limit) {
            return false;  // drop the connection here
        }
        count = std::min(count, limit - offset);
        if (drip.count() > 0) {
            count = 1;
            std::this_thread::sleep_for(drip);
        } else if (pace.count() > 0) {
            count = std::min<std::uint64_t>(count, 64 * 1024);
            std::this_thread::sleep_for(pace);
        }
        if (pattern) {
            return write_pattern(sink, offset, count);
        }
        return sink.write(body.data() + offset, static_cast<std::size_t>(count));
    };
    if (reply.endless) {
        response.set_chunked_content_provider("application/octet-stream",
                                              [](std::size_t offset, httplib::DataSink& sink) {
                                                  return write_pattern(sink, offset, 64 * 1024);
                                              });
    } else if (reply.content_length && size == 0) {
        response.set_content("", "application/octet-stream");
    } else if (reply.content_length) {
        response.set_content_provider(
            static_cast<std::size_t>(size), "application/octet-stream",
            [provide](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                return provide(offset, length, sink);
            });
    } else {
        response.set_chunked_content_provider(
            "application/octet-stream",
            [provide, size](std::size_t offset, httplib::DataSink& sink) {
                if (offset >= size) {
                    sink.done();
                    return true;
                }
                return provide(offset, std::min<std::uint64_t>(64 * 1024, size - offset), sink);
            });
    }
}

}  // namespace

std::string Request::param(const std::string& key) const {
    std::size_t start = 0;
    while (start <= query.size()) {
        const std::size_t end = std::min(query.find('&', start), query.size());
        const std::string pair = query.substr(start, end - start);
        if (pair.starts_with(key + "=")) {
            return pair.substr(key.size() + 1);
        }
        start = end + 1;
    }
    return {};
}

void clear_proxy_environment() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        ::unsetenv(name);
    }
}

char pattern_byte(std::uint64_t offset) {
    return pattern_block()[offset % k_pattern_period];
}

std::string pattern_bytes(std::uint64_t offset, std::size_t count) {
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(pattern_byte(offset + i));
    }
    return bytes;
}

struct Fake_host::Server {
    httplib::Server http;
};

Fake_host::Fake_host(Handler handler, int port)
    : server_(std::make_unique<Server>()), handler_(std::move(handler)) {
    auto serve = [this](const httplib::Request& raw, httplib::Response& response) {
        const Request request = to_request(raw);
        {
            const std::lock_guard lock(mutex_);
            requests_.push_back(request);
        }
        const Reply reply = handler_(request);
        if (reply.delay.count() > 0) {
            std::this_thread::sleep_for(reply.delay);
        }
        apply(reply, response);
    };
    server_->http.Get(".*", serve);
    server_->http.set_keep_alive_max_count(1000);
    server_->http.set_read_timeout(std::chrono::seconds(5));
    port_ = port == 0 ? server_->http.bind_to_any_port("127.0.0.1")
                      : (server_->http.bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ > 0) {
        thread_ = std::thread([this] { server_->http.listen_after_bind(); });
        // A stop before the server runs is lost and would leave the thread
        // listening for ever: the host is ready only once it runs.
        for (int i = 0; i < 5000 && !server_->http.is_running(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
}

Fake_host::~Fake_host() {
    server_->http.stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

std::vector<Request> Fake_host::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

void File_host_scenario::api_replies(const std::string& file_id, std::vector<Reply> replies) {
    const std::lock_guard lock(mutex_);
    api_[file_id] = std::deque<Reply>(replies.begin(), replies.end());
}

void File_host_scenario::file_replies(const std::string& file_id, std::vector<Reply> replies) {
    const std::lock_guard lock(mutex_);
    files_[file_id] = std::deque<Reply>(replies.begin(), replies.end());
}

void File_host_scenario::page(const std::string& path, Reply reply) {
    const std::lock_guard lock(mutex_);
    pages_[path] = std::move(reply);
}

Reply File_host_scenario::handle(const Request& request) {
    const std::lock_guard lock(mutex_);
    if (request.path == "/cgi-bin/rsapi.cgi" && request.param("sub") == "download_v1") {
        const std::string id = request.param("fileid");
        const bool file = request.param("bin") == "1";
        auto& queues = file ? files_ : api_;
        auto queue = queues.find(id);
        if (queue == queues.end() || queue->second.empty()) {
            return file ? Reply{404, "no such file"}
                        : Reply{200, "ERROR: File not found.<script>x</script>"};
        }
        Reply reply = queue->second.front();
        if (queue->second.size() > 1) {
            queue->second.pop_front();
        }
        for (std::size_t at; (at = reply.body.find("{server}")) != std::string::npos;) {
            reply.body.replace(at, 8, server_);
        }
        return reply;
    }
    const auto page = pages_.find(request.path);
    return page != pages_.end() ? page->second : Reply{404, "not found"};
}

}  // namespace corvale::fakehost
