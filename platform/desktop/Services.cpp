#include "platform/desktop/Services.h"

#include "platform/base/Locations.h"
#include "platform/base/ProgramIdentity.h"
#include "platform/desktop/ServicesListener.h"
#include "platform/desktop/ServicesSocket.h"

#include <QDeadlineTimer>

#include <cerrno>
#include <cstring>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hb {

namespace {

std::unique_ptr<ServicesListener>& listener()
{
    static std::unique_ptr<ServicesListener> instance;
    return instance;
}

ServiceAnswer refused(const QString& text)
{
    return {false, text};
}

// A connected client socket, closed when it goes.
class Connection {
public:
    explicit Connection(int fd) : m_fd(fd) {}
    ~Connection()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int fd() const { return m_fd; }

    // Waits for the socket to be ready for `events`; false on timeout or error.
    bool wait(short events, const QDeadlineTimer& deadline) const
    {
        pollfd entry{m_fd, events, 0};
        int result;
        do {
            result = ::poll(&entry, 1, int(qMax<qint64>(0, deadline.remainingTime())));
        } while (result < 0 && errno == EINTR);
        return result > 0;
    }

    bool writeAll(const QByteArray& bytes, const QDeadlineTimer& deadline) const
    {
        qsizetype written = 0;
        while (written < bytes.size()) {
            if (!wait(POLLOUT, deadline))
                return false;
            const ssize_t n = ::send(m_fd, bytes.constData() + written, size_t(bytes.size() - written),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return false;
            written += n;
        }
        return true;
    }

    // Reads exactly `count` bytes; none on timeout, error or an early end.
    std::optional<QByteArray> read(qsizetype count, const QDeadlineTimer& deadline) const
    {
        QByteArray bytes(count, Qt::Uninitialized);
        qsizetype done = 0;
        while (done < count) {
            if (!wait(POLLIN, deadline))
                return std::nullopt;
            const ssize_t n = ::recv(m_fd, bytes.data() + done, size_t(count - done), MSG_DONTWAIT);
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (n <= 0)
                return std::nullopt;
            done += n;
        }
        return bytes;
    }

private:
    int m_fd;
};

}  // namespace

QString Services::socketPath()
{
    return Locations::runtimeDirectory() + u'/' + programIdentity().command + QStringLiteral("/services.sock");
}

std::optional<Error> Services::setServicesProvider(ServicesProvider* provider)
{
    listener().reset();
    if (!provider)
        return std::nullopt;
    auto instance = std::make_unique<ServicesListener>(provider);
    if (std::optional<Error> error = instance->listen(socketPath()))
        return error;
    listener() = std::move(instance);
    return std::nullopt;
}

ServiceAnswer Services::send(const QString& messageName, const Pasteboard& pasteboard, int timeoutMs)
{
    const QByteArray frame = ServicesFrame::encodeRequest({messageName, pasteboard});
    const qsizetype bodySize = frame.size() - ServicesFrame::kLengthSize;
    if (bodySize > qsizetype(ServicesFrame::kMaximumBodySize))
        return refused(QStringLiteral("Too many items for one request: the names of these %1 items take %2 MB, and "
                                      "%4 takes at most %3 MB of names at once. Hand over their folder "
                                      "instead, or fewer items.")
                           .arg(pasteboard.items().size())
                           .arg(double(bodySize) / (1 << 20), 0, 'f', 1)
                           .arg(ServicesFrame::kMaximumBodySize >> 20)
                           .arg(programIdentity().name));

    const QDeadlineTimer deadline(timeoutMs);
    const auto seconds = [timeoutMs] { return QString::number((timeoutMs + 999) / 1000); };
    int fd;
    // A full queue of waiting requests means the instance is busy: wait for a place.
    while ((fd = ServicesSocket::connectTo(socketPath())) < 0 && errno == EAGAIN && !deadline.hasExpired())
        ::poll(nullptr, 0, 50);
    const Connection connection(fd);
    const QString& name = programIdentity().name;
    if (connection.fd() < 0) {
        if (errno == ENOENT || errno == ECONNREFUSED)
            return refused(QStringLiteral("%1 is not running. Start it, then try again.").arg(name));
        if (errno == EAGAIN)
            return refused(QStringLiteral("%1 was too busy to take the request within %2 seconds. "
                                          "Try again in a moment.")
                               .arg(name, seconds()));
        return refused(QStringLiteral("Cannot reach %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
    }

    // A refusal can come before the whole request is written; the answer is read either way.
    connection.writeAll(frame, deadline);
    const std::optional<QByteArray> lengthField = connection.read(ServicesFrame::kLengthSize, deadline);
    const std::optional<std::uint32_t> length = lengthField ? ServicesFrame::bodyLength(*lengthField) : std::nullopt;
    const std::optional<QByteArray> body = length ? connection.read(qsizetype(*length), deadline) : std::nullopt;
    const std::optional<ServiceAnswer> answer = body ? ServicesFrame::decodeAnswer(*body) : std::nullopt;
    if (answer)
        return *answer;
    if (deadline.hasExpired())
        return refused(QStringLiteral("%1 did not answer within %2 seconds; it may be busy. Try again in a "
                                      "moment, and if it still does not answer, quit %1 and start it again.")
                           .arg(name, seconds()));
    return refused(QStringLiteral("%1 ended the request without a readable answer. Try again, and if it "
                                  "happens again, quit %1 and start it again.")
                       .arg(name));
}

}  // namespace hb
