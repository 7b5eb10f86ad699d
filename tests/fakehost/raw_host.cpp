#include "fakehost/raw_host.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

namespace corvale::fakehost {

Raw_host::Raw_host(std::vector<std::string> pieces) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(listen_fd_, 1) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        return;  // port() stays 0: nothing listens
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this, pieces = std::move(pieces)] {
        const int client = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        client_fd_ = client;
        std::string request;
        char piece[4096];
        ssize_t got = 1;
        while (got > 0 && request.find("\r\n\r\n") == std::string::npos) {
            got = ::read(client, piece, sizeof piece);
            request.append(piece, got > 0 ? static_cast<std::size_t>(got) : 0);
        }
        for (std::size_t i = 0; got > 0 && i < pieces.size(); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(i > 0 ? 50 : 0));
            got = ::send(client, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL) < 0 ? 0 : 1;
        }
        while (got > 0) {
            got = ::read(client, piece, sizeof piece);  // until the client hangs up
        }
    });
}

Raw_host::~Raw_host() {
    // Ends a wait in accept or read: the thread then returns.
    ::shutdown(listen_fd_, SHUT_RDWR);
    if (const int client = client_fd_; client >= 0) {
        ::shutdown(client, SHUT_RDWR);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (client_fd_ >= 0) {
        ::close(client_fd_);
    }
    ::close(listen_fd_);
}

}  // namespace corvale::fakehost
