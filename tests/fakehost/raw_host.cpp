#include "fakehost/raw_host.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace corvale::fakehost {

Raw_host::Raw_host(std::vector<std::string> pieces) : pieces_(std::move(pieces)) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::pipe2(wake_, O_CLOEXEC) != 0 ||
        ::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listen_fd_, 4) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;  // port() stays 0: nothing listens
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

Raw_host::~Raw_host() {
    if (wake_[1] >= 0) {
        [[maybe_unused]] const auto written = ::write(wake_[1], "x", 1);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    for (int fd : {listen_fd_, wake_[0], wake_[1]}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

bool Raw_host::wait_readable(int fd) const {
    pollfd fds[2] = {{fd, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    while (::poll(fds, 2, -1) < 0) {
    }
    return (fds[1].revents & POLLIN) == 0;
}

void Raw_host::serve() {
    while (wait_readable(listen_fd_)) {
        const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        // The request's head, then the reply, then silence until the client
        // hangs up.
        std::string request;
        char piece[4096];
        bool open = true;
        while (open && request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = wait_readable(client) ? ::read(client, piece, sizeof piece) : 0;
            open = got > 0;
            request.append(piece, open ? static_cast<std::size_t>(got) : 0);
        }
        for (std::size_t i = 0; open && i < pieces_.size(); ++i) {
            if (i > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            open = ::send(client, pieces_[i].data(), pieces_[i].size(), MSG_NOSIGNAL) >= 0;
        }
        while (open && wait_readable(client)) {
            open = ::read(client, piece, sizeof piece) > 0;
        }
        ::close(client);
    }
}

}  // namespace corvale::fakehost
