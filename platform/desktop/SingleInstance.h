#pragma once

#include "platform/base/Error.h"

#include <QObject>
#include <QString>

#include <variant>

class QLocalServer;

namespace hb {

// One running program per user and session. The first process to lock the instance file beside the
// services socket serves; it listens on a small socket of its own for "raise" requests from a later
// start. The lock, not the socket, decides who serves, so two processes started together cannot both.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;  // releases the lock and removes the raise socket

    enum class Role { Primary, Secondary };
    // Takes the lock and, when it is ours, listens for raise requests. An error when the folder or the
    // lock file cannot be had, or the raise socket cannot listen.
    std::variant<Role, Error> acquire();
    bool isPrimary() const { return m_lockFd >= 0; }

    // Asks the running instance to bring its window forward, waiting up to `timeoutMs` for it to
    // listen (it may have only just started); false when no instance answered.
    static bool requestRaise(int timeoutMs = 3000);

    static QString directory();        // the services socket's folder
    static QString lockPath();         // directory()/instance.lock
    static QString raiseSocketPath();  // directory()/raise.sock

signals:
    void raiseRequested();

private:
    void accept();

    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
};

}  // namespace hb
