#include "platform/desktop/ServicesListener.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/desktop/ServicesSocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hb {

namespace {

Error listenError(int code, const QString& description)
{
    return Error{NSPOSIXErrorDomain, code, {{NSLocalizedDescriptionKey, description}}};
}

std::optional<Error> ensurePrivateFolder(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        return Error::fromErrno(errno, path, true);
    struct stat info {};
    if (::lstat(native.constData(), &info) != 0)
        return Error::fromErrno(errno, path, true);
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
        return listenError(EPERM, QStringLiteral("The folder %1 is not a private folder of this user.").arg(path));
    if ((info.st_mode & 077) && ::chmod(native.constData(), 0700) != 0)
        return Error::fromErrno(errno, path, true);
    return std::nullopt;
}

bool someoneListens(const QString& socketPath)
{
    const int fd = ServicesSocket::connectTo(socketPath);
    if (fd < 0)
        return errno == EAGAIN;  // its queue is full: it is there, and busy
    ::close(fd);
    return true;
}

bool isSameUser(QLocalSocket* socket)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0
           && credentials.uid == ::geteuid();
}

}  // namespace

ServicesListener::ServicesListener(ServicesProvider* provider, QObject* parent) : QObject(parent), m_provider(provider)
{
}

ServicesListener::~ServicesListener()
{
    // Leaves no socket file behind for the next instance to probe.
    close();
}

void ServicesListener::close()
{
    if (m_fd < 0)
        return;
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_fd);
    m_fd = -1;
    QFile::remove(m_path);
}

std::optional<Error> ServicesListener::listen(const QString& socketPath)
{
    if (std::optional<Error> error = ensurePrivateFolder(QFileInfo(socketPath).path()))
        return error;
    if (QFileInfo::exists(socketPath) || QFileInfo(socketPath).isSymLink()) {
        if (someoneListens(socketPath))
            return listenError(EADDRINUSE,
                               QStringLiteral("Another %1 already serves %2.").arg(programIdentity().name, socketPath));
        QFile::remove(socketPath);  // left behind by an instance that ended without closing it
    }
    close();
    m_fd = ServicesSocket::listenAt(socketPath);
    if (m_fd < 0)
        return listenError(
            errno,
            QStringLiteral("Cannot listen on %1: %2").arg(socketPath, QString::fromLocal8Bit(std::strerror(errno))));
    m_path = socketPath;
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ServicesListener::accept);
    return std::nullopt;
}

void ServicesListener::accept()
{
    while (m_connections < kMaximumConnections) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // Out of descriptors: the waiting client stays queued; try again once some are free.
                qCWarning(hbLog) << "Service connections wait: out of descriptors";
                m_outOfDescriptors = true;
                updateAccepting();
                QTimer::singleShot(kAcceptRetryMs, this, [this] {
                    m_outOfDescriptors = false;
                    updateAccepting();
                });
            }
            return;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] {
            --m_connections;
            updateAccepting();
        });
        serve(socket);
    }
    updateAccepting();
}

void ServicesListener::updateAccepting()
{
    if (m_notifier)
        m_notifier->setEnabled(!m_outOfDescriptors && m_connections < kMaximumConnections);
}

void ServicesListener::serve(QLocalSocket* socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!isSameUser(socket)) {
        qCWarning(hbLog) << "Service request from another user refused";
        finish(socket,
               {false, QStringLiteral("Not permitted: %1 serves only its own user.").arg(programIdentity().name)});
        return;
    }
    socket->setReadBufferSize(ServicesFrame::kLengthSize + ServicesFrame::kMaximumBodySize + 1);
    auto* slow = new QTimer(socket);
    slow->setSingleShot(true);
    connect(slow, &QTimer::timeout, socket, [socket] {
        if (!socket->property("answered").toBool())
            socket->abort();
    });
    slow->start(kRequestTimeoutMs);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    readRequest(socket);
}

void ServicesListener::readRequest(QLocalSocket* socket)
{
    if (socket->property("answered").toBool() || socket->bytesAvailable() < ServicesFrame::kLengthSize)
        return;
    const std::optional<std::uint32_t> length = ServicesFrame::bodyLength(socket->peek(ServicesFrame::kLengthSize));
    if (!length) {
        finish(socket, {false, QStringLiteral("The service message is too large or too short.")});
        return;
    }
    const qsizetype frameSize = ServicesFrame::kLengthSize + qsizetype(*length);
    if (socket->bytesAvailable() < frameSize)
        return;
    if (socket->bytesAvailable() > frameSize) {
        finish(socket, {false, QStringLiteral("The service message is malformed.")});
        return;
    }
    const QByteArray body = socket->readAll().mid(ServicesFrame::kLengthSize);
    std::variant<ServiceRequest, QString> decoded = ServicesFrame::decodeRequest(body);
    if (auto* problem = std::get_if<QString>(&decoded))
        finish(socket, {false, *problem});
    else
        finish(socket, perform(std::get<ServiceRequest>(decoded)));
}

ServiceAnswer ServicesListener::perform(ServiceRequest& request)
{
    ServiceAnswer answer{true, QString()};
    if (!m_provider || !m_provider->performService(request.messageName, request.pasteboard, QString(), answer))
        return {false, QStringLiteral("%1 offers no service \"%2\".").arg(programIdentity().name, request.messageName)};
    return answer;
}

void ServicesListener::finish(QLocalSocket* socket, const ServiceAnswer& answer)
{
    if (!answer.ok)
        qCWarning(hbLog).noquote() << "Service request refused:" << answer.text;
    socket->setProperty("answered", true);
    socket->write(ServicesFrame::encodeAnswer(answer));
    socket->disconnectFromServer();
}

}  // namespace hb
