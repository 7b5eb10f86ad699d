#pragma once

// One running instance per user: the first start listens on a local socket in
// the user's private runtime folder; a later start hands it the list file it
// was given (or asks it to raise its main window) and ends. Both ends talk
// only to a process of their own user.
//
// The channel carries one line per request: "raise", or "open " followed by
// the percent-encoded bytes of an absolute path.

#include <QByteArray>
#include <QLocalServer>
#include <QObject>
#include <QString>
#include <filesystem>
#include <optional>
#include <string>

class QLocalSocket;

namespace corvale {

class Single_instance : public QObject {
    Q_OBJECT

  public:
    // `name` is the program's name; the socket's file is named after it.
    explicit Single_instance(const QString& name);

    // Before claim(): the socket's folder, taken as it is instead of the
    // user's private runtime folder (tests use folders other users share).
    void set_folder(std::filesystem::path folder) { folder_ = std::move(folder); }

    enum class Claim {
        only_instance,  // this one listens now
        another_runs,   // an instance of the same user took the request
        failed,         // neither: failure() says why
    };
    // Becomes the one instance, or hands `file` (or a request to show its
    // window) to the one that runs.
    Claim claim(const std::optional<std::filesystem::path>& file = std::nullopt);

    // Why the last claim failed: a path and what is wrong with it.
    const std::wstring& failure() const { return failure_; }

  signals:
    // Another start asked this instance to show its main window.
    void raise_requested();
    // Another start was given this list file.
    void open_requested(const std::filesystem::path& file);

  private:
    void accept_peers();
    void handle_line(const QByteArray& line);
    Claim hand_over(QLocalSocket& probe, const std::filesystem::path& socket,
                    const std::optional<std::filesystem::path>& file);
    Claim fail(std::wstring why);

    QString name_;
    std::optional<std::filesystem::path> folder_;
    std::wstring failure_;
    QLocalServer server_;
};

}  // namespace corvale
