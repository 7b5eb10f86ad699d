#include "app/single_instance.h"

#include <unistd.h>
#include <QFile>
#include <QLocalSocket>

#include "platform/file_io.h"
#include "platform/runtime_folder.h"

namespace corvale {

namespace {

constexpr int k_connect_timeout_ms = 1000;
// A request longer than this is not a request: the peer is dropped.
constexpr qsizetype k_line_limit = 64 * 1024;
const QByteArray k_open = "open ";

QString qt_path(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

std::wstring fault(const std::filesystem::path& path, const std::wstring& what) {
    return from_path(path) + L": " + what;
}

bool is_own_user(QLocalSocket& socket) {
    return peer_user(static_cast<int>(socket.socketDescriptor())) == ::geteuid();
}

QByteArray request_for(const std::optional<std::filesystem::path>& file) {
    if (!file) {
        return "raise\n";
    }
    // The running instance has another working folder.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(*file, error);
    const std::string& bytes = (error ? *file : absolute).native();
    return k_open +
           QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toPercentEncoding("/") +
           "\n";
}

bool send_all(QLocalSocket& socket, const QByteArray& bytes) {
    if (socket.write(bytes) != bytes.size()) {
        return false;
    }
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(k_connect_timeout_ms)) {
            return false;
        }
    }
    return true;
}

}  // namespace

Single_instance::Single_instance(const QString& name) : name_(name) {
    connect(&server_, &QLocalServer::newConnection, this, &Single_instance::accept_peers);
}

void Single_instance::accept_peers() {
    while (QLocalSocket* peer = server_.nextPendingConnection()) {
        if (!is_own_user(*peer)) {
            // Another user's program is not heard at all.
            peer->abort();
            peer->deleteLater();
            continue;
        }
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            // Every whole line is read before any is acted on: acting may
            // ask a question, and the peer may be gone when it returns.
            QList<QByteArray> lines;
            while (peer->canReadLine()) {
                lines << peer->readLine(k_line_limit).trimmed();
            }
            if (peer->bytesAvailable() > k_line_limit) {
                peer->abort();
            }
            for (const QByteArray& line : lines) {
                handle_line(line);
            }
        });
    }
}

void Single_instance::handle_line(const QByteArray& line) {
    if (line.startsWith(k_open)) {
        const QByteArray bytes = QByteArray::fromPercentEncoding(line.mid(k_open.size()));
        if (!bytes.isEmpty() && !bytes.contains('\0')) {
            emit open_requested(std::filesystem::path(bytes.toStdString()));
        }
        emit raise_requested();
    } else if (line == "raise") {
        emit raise_requested();
    }
}

Single_instance::Claim Single_instance::fail(std::wstring why) {
    failure_ = std::move(why);
    return Claim::failed;
}

Single_instance::Claim Single_instance::claim(const std::optional<std::filesystem::path>& file) {
    std::filesystem::path folder;
    if (folder_) {
        folder = *folder_;
    } else {
        Runtime_folder chosen = user_runtime_folder();
        if (chosen.path.empty()) {
            return fail(std::move(chosen.fault));
        }
        folder = std::move(chosen.path);
    }
    const std::filesystem::path socket =
        folder / QFile::encodeName(name_ + ".socket").toStdString();
    const Socket_path_state found = inspect_socket_path(socket, ::geteuid());
    switch (found.kind) {
        case Socket_path_state::taken:
        case Socket_path_state::foreign_socket:
            // Another user's file, or one that is no socket: neither
            // followed, nor talked to, nor removed.
            return fail(found.fault);
        case Socket_path_state::own_socket: {
            QLocalSocket probe;
            probe.connectToServer(qt_path(socket));
            if (probe.waitForConnected(k_connect_timeout_ms)) {
                return hand_over(probe, socket, file);
            }
            // Nobody listens: a socket left by an instance that crashed. One
            // that is slow to answer is not taken over.
            if (probe.error() != QLocalSocket::ConnectionRefusedError &&
                probe.error() != QLocalSocket::ServerNotFoundError) {
                return fail(fault(socket, probe.errorString().toStdWString()));
            }
            std::error_code ignored;
            std::filesystem::remove(socket, ignored);
            break;
        }
        case Socket_path_state::free:
            break;
    }
    // Without access options the socket is bound at its path directly, so a
    // file that appeared there since is never replaced.
    server_.setSocketOptions(QLocalServer::NoOptions);
    if (!server_.listen(qt_path(socket))) {
        return fail(fault(socket, server_.errorString().toStdWString()));
    }
    return Claim::only_instance;
}

Single_instance::Claim Single_instance::hand_over(
    QLocalSocket& probe, const std::filesystem::path& socket,
    const std::optional<std::filesystem::path>& file) {
    // A socket of the user's own may still have been bound by a process that
    // then took another user's identity: it hears nothing either.
    if (!is_own_user(probe)) {
        probe.abort();
        return fail(fault(socket, L"answered by a program of another user"));
    }
    if (!send_all(probe, request_for(file))) {
        probe.abort();
        return fail(fault(socket, L"the running program did not take the request"));
    }
    probe.disconnectFromServer();
    return Claim::another_runs;
}

}  // namespace corvale
