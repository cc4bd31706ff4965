#include "platform/desktop/SingleInstance.h"

#include "platform/base/Log.h"
#include "platform/desktop/Services.h"
#include "platform/interface/FrontWindow.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {

namespace {
const QByteArray raiseRequest = QByteArrayLiteral("raise\n");
const QByteArray raiseAnswer = QByteArrayLiteral("ok\n");

Error posixError(int code, const QString& path, const QString& what)
{
    Error error = Error::fromErrno(code, path, true);
    error.userInfo.insert(NSLocalizedDescriptionKey,
                          QStringLiteral("%1 %2: %3").arg(what, path, QString::fromLocal8Bit(std::strerror(code))));
    return error;
}
}  // namespace

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance()
{
    if (m_server) {
        m_server->close();
        QFile::remove(raiseSocketPath());
    }
    if (m_lockFd >= 0)
        ::close(m_lockFd);  // closing drops the lock
}

QString SingleInstance::directory()
{
    return QFileInfo(Services::socketPath()).absolutePath();
}

QString SingleInstance::lockPath()
{
    return directory() + QStringLiteral("/instance.lock");
}

QString SingleInstance::raiseSocketPath()
{
    return directory() + QStringLiteral("/raise.sock");
}

std::variant<SingleInstance::Role, Error> SingleInstance::acquire()
{
    if (m_lockFd >= 0)
        return Role::Primary;
    const QByteArray folder = QFile::encodeName(directory());
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return posixError(errno, directory(), QStringLiteral("Cannot create"));

    const QByteArray lock = QFile::encodeName(lockPath());
    const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return posixError(errno, lockPath(), QStringLiteral("Cannot open"));
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK)
            return Role::Secondary;
        return posixError(code, lockPath(), QStringLiteral("Cannot lock"));
    }
    m_lockFd = fd;

    // Holding the lock, any socket file left here is a dead instance's.
    QLocalServer::removeServer(raiseSocketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(raiseSocketPath())) {
        Error error = posixError(EADDRINUSE, raiseSocketPath(), QStringLiteral("Cannot listen on"));
        error.userInfo.insert(
            NSLocalizedDescriptionKey,
            QStringLiteral("Cannot listen on %1: %2").arg(raiseSocketPath(), m_server->errorString()));
        delete m_server;
        m_server = nullptr;
        ::close(m_lockFd);
        m_lockFd = -1;
        return error;
    }
    connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
    return Role::Primary;
}

void SingleInstance::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > raiseRequest.size())
                    socket->abort();
                return;
            }
            const QByteArray line = socket->readLine(raiseRequest.size() + 1);
            if (line == raiseRequest) {
                socket->write(raiseAnswer);
                socket->flush();
                HBDebug() << "Raise requested by a second start";
                // A start from a desktop shortcut leaves the focus where the person was working.
                FrontWindows::shared().note();
                emit raiseRequested();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::requestRaise(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(raiseSocketPath());
        if (socket.waitForConnected(int(qMax<qint64>(1, deadline.remainingTime())))) {
            socket.write(raiseRequest);
            if (!socket.waitForBytesWritten(int(qMax<qint64>(1, deadline.remainingTime()))))
                return false;
            while (!socket.canReadLine()) {
                if (deadline.hasExpired() || !socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                    return false;
            }
            return socket.readLine() == raiseAnswer;
        }
        // The serving instance may hold the lock but not listen yet.
        if (deadline.hasExpired())
            return false;
        QThread::msleep(20);
    }
}

}  // namespace hb
