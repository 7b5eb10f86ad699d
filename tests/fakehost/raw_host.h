#pragma once

// A loopback server that answers each connection with bytes given verbatim,
// for replies an HTTP server library will not send: interim (1xx) responses
// before the real one, a reply that stops halfway with the connection left
// open. The pieces go out 50 ms apart, so that each arrives on its own; after
// them it sends nothing more and keeps the connection until the client
// closes it or the host goes. One connection at a time.

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
    void serve();
    // Waits until `fd` can be read or the host goes; false when it goes.
    bool wait_readable(int fd) const;

    std::vector<std::string> pieces_;
    int listen_fd_ = -1;
    int wake_[2] = {-1, -1};  // written to when the host goes
    int port_ = 0;
    std::thread thread_;
};

}  // namespace corvale::fakehost
