#pragma once

// One running instance per user: the first start listens on a local socket
// named per user; a later start hands it the list file it was given (or asks
// it to raise its main window) and ends.
//
// The channel carries one line per request: "raise", or "open " followed by
// the percent-encoded bytes of an absolute path.

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>

namespace corvale {

class Single_instance : public QObject {
    Q_OBJECT

  public:
    // `name` is the program's name; the socket name adds the user's.
    explicit Single_instance(const QString& name);

    // True when this is the only instance (and it now listens). False when
    // another one runs: it has been handed `file` (or asked to show its
    // window).
    bool claim(const std::optional<std::filesystem::path>& file = std::nullopt);

  signals:
    // Another start asked this instance to show its main window.
    void raise_requested();
    // Another start was given this list file.
    void open_requested(const std::filesystem::path& file);

  private:
    void handle_line(const QByteArray& line);

    QString socket_name_;
    QLocalServer server_;
};

}  // namespace corvale
