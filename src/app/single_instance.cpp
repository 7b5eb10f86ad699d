#include "app/single_instance.h"

#include <unistd.h>
#include <QLocalSocket>

namespace corvale {

namespace {

constexpr int k_connect_timeout_ms = 1000;
// A request longer than this is not a request: the peer is dropped.
constexpr qsizetype k_line_limit = 64 * 1024;
const QByteArray k_open = "open ";

}  // namespace

Single_instance::Single_instance(const QString& name)
    : socket_name_(name + "-" + QString::number(::getuid())) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
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
    });
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

bool Single_instance::claim(const std::optional<std::filesystem::path>& file) {
    QLocalSocket probe;
    probe.connectToServer(socket_name_);
    if (probe.waitForConnected(k_connect_timeout_ms)) {
        QByteArray request = "raise\n";
        if (file) {
            // The running instance has another working folder.
            std::error_code error;
            const std::filesystem::path absolute = std::filesystem::absolute(*file, error);
            const std::string& bytes = (error ? *file : absolute).native();
            request = k_open +
                      QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()))
                          .toPercentEncoding("/") +
                      "\n";
        }
        probe.write(request);
        probe.waitForBytesWritten(k_connect_timeout_ms);
        probe.disconnectFromServer();
        return false;
    }
    // Nobody answers: a socket left by a crashed instance is stale.
    QLocalServer::removeServer(socket_name_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    return server_.listen(socket_name_);
}

}  // namespace corvale
