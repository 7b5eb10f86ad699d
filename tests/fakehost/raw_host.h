#pragma once

// A loopback server for replies an HTTP server library will not send:
// interim (1xx) responses before the real one, a reply that stops halfway.
// It takes one connection, reads the request's head, sends its pieces 50 ms
// apart (so that each arrives on its own), then sends nothing more and holds
// the connection until the client closes it or the host goes.

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace corvale::fakehost {

class Raw_host {
  public:
    explicit Raw_host(std::vector<std::string> pieces);
    ~Raw_host();
    Raw_host(const Raw_host&) = delete;
    Raw_host& operator=(const Raw_host&) = delete;

    int port() const { return port_; }

  private:
    int listen_fd_ = -1;
    std::atomic<int> client_fd_ = -1;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace corvale::fakehost
