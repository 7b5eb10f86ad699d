#pragma once

// One running instance per user: the first start listens on a local socket
// named per user; a later start asks it to raise its main window and ends.

#include <QLocalServer>
#include <QObject>
#include <QString>

namespace corvale {

class Single_instance : public QObject {
    Q_OBJECT

  public:
    // `name` is the program's name; the socket name adds the user's.
    explicit Single_instance(const QString& name);

    // True when this is the only instance (and it now listens). False when
    // another one runs: it has been asked to show its window.
    bool claim();

  signals:
    // Another start asked this instance to show its main window.
    void raise_requested();

  private:
    QString socket_name_;
    QLocalServer server_;
};

}  // namespace corvale
