#include "app/single_instance.h"

#include <unistd.h>
#include <QLocalSocket>

namespace corvale {

namespace {

constexpr int k_connect_timeout_ms = 1000;

}  // namespace

Single_instance::Single_instance(const QString& name)
    : socket_name_(name + "-" + QString::number(::getuid())) {
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_.nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (peer->readAll().contains("raise")) {
                    emit raise_requested();
                }
            });
        }
    });
}

bool Single_instance::claim() {
    QLocalSocket probe;
    probe.connectToServer(socket_name_);
    if (probe.waitForConnected(k_connect_timeout_ms)) {
        probe.write("raise\n");
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
