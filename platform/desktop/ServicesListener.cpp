#include "platform/desktop/ServicesListener.h"

#include "platform/base/Log.h"
#include "platform/desktop/ServicesSocket.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
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
        return false;
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

ServicesListener::ServicesListener(ServicesProvider* provider, QObject* parent)
    : QObject(parent), m_provider(provider), m_server(new QLocalServer(this))
{
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server, &QLocalServer::newConnection, this, &ServicesListener::accept);
}

ServicesListener::~ServicesListener()
{
    // Leaves no socket file behind for the next instance to probe.
    m_server->close();
}

std::optional<Error> ServicesListener::listen(const QString& socketPath)
{
    if (std::optional<Error> error = ensurePrivateFolder(QFileInfo(socketPath).path()))
        return error;
    if (QFileInfo::exists(socketPath) || QFileInfo(socketPath).isSymLink()) {
        if (someoneListens(socketPath))
            return listenError(EADDRINUSE, QStringLiteral("Another Harbrill already serves %1.").arg(socketPath));
        QFile::remove(socketPath);  // left behind by an instance that ended without closing it
    }
    if (!m_server->listen(socketPath))
        return listenError(EIO, m_server->errorString());
    return std::nullopt;
}

void ServicesListener::accept()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!isSameUser(socket)) {
            qCWarning(hbLog) << "Service request from another user refused";
            finish(socket, {false, QStringLiteral("Not permitted: Harbrill serves only its own user.")});
            continue;
        }
        socket->setReadBufferSize(ServicesFrame::kLengthSize + ServicesFrame::kMaximumBodySize + 1);
        auto* idle = new QTimer(socket);
        idle->setSingleShot(true);
        connect(idle, &QTimer::timeout, socket, [socket] { socket->abort(); });
        idle->start(kIdleTimeoutMs);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        readRequest(socket);
    }
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
    QString error;
    if (!m_provider || !m_provider->performService(request.messageName, request.pasteboard, QString(), &error))
        return {false, QStringLiteral("Harbrill offers no service \"%1\".").arg(request.messageName)};
    if (!error.isEmpty())
        return {false, error};
    return {true, QString()};
}

void ServicesListener::finish(QLocalSocket* socket, const ServiceAnswer& answer)
{
    if (!answer.ok)
        qCWarning(hbLog).noquote() << "Service request refused:" << answer.errorText;
    socket->setProperty("answered", true);
    socket->write(ServicesFrame::encodeAnswer(answer));
    socket->disconnectFromServer();
}

}  // namespace hb
