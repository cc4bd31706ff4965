#include "platform/desktop/Services.h"
#include "platform/desktop/ServicesBytes.h"
#include "platform/desktop/ServicesListener.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <linux/capability.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using hb::Pasteboard;
using hb::ServiceAnswer;
namespace Frame = hb::ServicesFrame;

namespace {

class RecordingProvider : public hb::ServicesProvider {
public:
    struct Call {
        QString name;
        QList<QUrl> items;
    };
    bool performService(const QString& name, Pasteboard& pasteboard, const QString&, ServiceAnswer& answer) override
    {
        if (name != "addToLocation" && name != "moveHarbrill")
            return false;
        calls.append({name, pasteboard.items()});
        if (!refusal.isEmpty())
            answer = {false, refusal};
        return true;
    }
    QList<Call> calls;
    QString refusal;
};

// A forked child that reports bytes through a pipe; the parent keeps its event loop running meanwhile.
class Child {
public:
    explicit Child(const std::function<QByteArray()>& work)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(fds[0]);
            const QByteArray out = work();
            for (qsizetype done = 0; done < out.size();) {
                const ssize_t n = ::write(fds[1], out.constData() + done, size_t(out.size() - done));
                if (n <= 0)
                    break;
                done += n;
            }
            ::_exit(0);
        }
        ::close(fds[1]);
        m_fd = fds[0];
        ::fcntl(m_fd, F_SETFL, O_NONBLOCK);
    }
    ~Child()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    QByteArray result()
    {
        QByteArray bytes;
        const bool ended = waitUntil(
            [&] {
                char buffer[4096];
                ssize_t n;
                while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
                    bytes.append(buffer, n);
                return n == 0;
            },
            20000);
        EXPECT_TRUE(ended) << "the child did not finish";
        return bytes;
    }

private:
    pid_t m_pid = -1;
    int m_fd = -1;
};

QByteArray encode(const ServiceAnswer& answer)
{
    return (answer.ok ? QByteArray("ok") : QByteArray("error:")) + answer.text.toUtf8();
}

QByteArray sendFromChild(const QString& name, const QStringList& paths)
{
    QList<hb::URL> urls;
    for (const QString& path : paths)
        urls.append(hb::URL::fileURLWithPath(path));
    return Child([&] { return encode(hb::Services::send(name, Pasteboard::withFileURLs(urls))); }).result();
}

int connectRaw()
{
    const QByteArray path = QFile::encodeName(hb::Services::socketPath());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends raw bytes and gives back everything the listener answers before it closes.
QByteArray rawExchange(const QByteArray& bytes, bool closeAfterWriting = false)
{
    const int fd = connectRaw();
    if (fd < 0)
        return "no connection";
    ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    if (closeAfterWriting) {
        ::close(fd);
        return {};
    }
    QByteArray answer;
    pollfd entry{fd, POLLIN, 0};
    char buffer[4096];
    while (::poll(&entry, 1, 15000) > 0) {
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    ::close(fd);
    return answer;
}

std::optional<ServiceAnswer> decodeFramed(const QByteArray& bytes)
{
    if (bytes.size() < Frame::kLengthSize || Frame::bodyLength(bytes.left(4)) != bytes.size() - 4)
        return std::nullopt;
    return Frame::decodeAnswer(bytes.mid(4));
}

QByteArray requestFrame(const QString& name, std::uint8_t version = Frame::kVersion)
{
    QByteArray frame = Frame::encodeRequest({name, Pasteboard::withFileURLs({hb::URL::fileURLWithPath("/tmp")})});
    frame[8] = char(version);
    return frame;
}

}  // namespace

class ServicesTest : public HarbrillTest {
protected:
    void TearDown() override { hb::Services::setServicesProvider(nullptr); }
    RecordingProvider provider;
};

TEST_F(ServicesTest, ClientInAnotherProcessIsAnsweredByTheProvider)
{
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    const QString folder = env.makeFolder("Projects");
    const QString file = env.writeFile("a file.txt", "x");

    EXPECT_EQ(sendFromChild("addToLocation", {folder, file}), "ok");
    ASSERT_EQ(provider.calls.size(), 1);
    EXPECT_EQ(provider.calls[0].name, "addToLocation");
    EXPECT_EQ(provider.calls[0].items, QList<QUrl>({QUrl::fromLocalFile(folder), QUrl::fromLocalFile(file)}));

    EXPECT_EQ(sendFromChild("formatDisk", {file}), "error:Harbrill offers no service \"formatDisk\".");
    provider.refusal = "Nothing to take.";
    EXPECT_EQ(sendFromChild("moveHarbrill", {}), "error:Nothing to take.");
    EXPECT_EQ(provider.calls.size(), 2);
}

// Every refusal the person sees says what to do about it.
TEST_F(ServicesTest, RefusalsOfTheClientSayWhatToDo)
{
    const ServiceAnswer none = hb::Services::send("moveHarbrill", Pasteboard());
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.text, "Harbrill is not running. Start it, then try again.");

    QList<hb::URL> many;
    for (int i = 0; i < 20000; ++i)
        many << hb::URL::fileURLWithPath(QStringLiteral("/home/ann/Pictures/Holiday 2024/picture-%1.jpeg").arg(i));
    const ServiceAnswer tooMany = hb::Services::send("moveHarbrill", Pasteboard::withFileURLs(many));
    EXPECT_FALSE(tooMany.ok);
    EXPECT_TRUE(tooMany.text.startsWith("Too many items for one request: the names of these 20000 items take "))
        << tooMany.text.toStdString();
    EXPECT_TRUE(tooMany.text.endsWith("Harbrill takes at most 1 MB of names at once. Hand over their folder "
                                      "instead, or fewer items."))
        << tooMany.text.toStdString();

    // A listener that takes connections into its queue and never answers.
    const QString path = hb::Services::socketPath();
    QDir().mkpath(QFileInfo(path).path());
    const int silent = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, QFile::encodeName(path).constData(), size_t(path.size()));
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    const ServiceAnswer unanswered = hb::Services::send("moveHarbrill", Pasteboard(), 300);
    ::close(silent);
    EXPECT_FALSE(unanswered.ok);
    EXPECT_EQ(unanswered.text, "Harbrill did not answer within 1 seconds; it may be busy. Try again in a moment, "
                               "and if it still does not answer, quit Harbrill and start it again.");
}

// Idle connections of any process of the user, or a burst of requests, keep no request out: idle ones
// are closed soon, many are held at once, and the rest wait for a place.
TEST_F(ServicesTest, IdleConnectionsAndBurstsOfRequestsAreAllServed)
{
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    const int requests = 50;
    for (const int idle : {16, hb::ServicesListener::kMaximumConnections + 16}) {
        provider.calls.clear();
        Child holder([idle] {
            std::vector<int> held;
            for (int i = 0; i < idle; ++i)
                held.push_back(connectRaw());
            ::sleep(30);
            return QByteArray();
        });
        waitUntil([] { return false; }, 300);
        std::vector<std::unique_ptr<Child>> clients;
        for (int i = 0; i < requests; ++i)
            clients.push_back(std::make_unique<Child>([] {
                return encode(
                    hb::Services::send("moveHarbrill", Pasteboard::withFileURLs({hb::URL::fileURLWithPath("/tmp")})));
            }));
        int answered = 0;
        for (const std::unique_ptr<Child>& client : clients) {
            const QByteArray result = client->result();
            answered += result == "ok";
            EXPECT_EQ(result.toStdString(), "ok") << idle << " idle";
        }
        EXPECT_EQ(answered, requests) << idle << " idle";
        EXPECT_EQ(provider.calls.size(), requests) << idle << " idle";
    }
}

TEST_F(ServicesTest, BadMessagesAreRefusedAndTheListenerGoesOn)
{
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    hb::BytesWriter oversized;
    oversized.u32(Frame::kMaximumBodySize + 1);
    const QByteArray good = requestFrame("moveHarbrill");
    QByteArray badMagic = good;
    badMagic[4] = 'X';
    QByteArray lyingPasteboard = good;
    lyingPasteboard[30] = char(0x0f);  // the item count claims millions

    const struct {
        const char* what;
        QByteArray bytes;
        const char* answer;
    } cases[] = {
        {"oversized", oversized.bytes() + QByteArray(64, 'x'), "The service message is too large or too short."},
        {"garbage", QByteArray("hello, harbrill\n"), "The service message is too large or too short."},
        {"other magic", badMagic, "The message is not a Harbrill service message."},
        {"newer version", requestFrame("moveHarbrill", 2),
         "The message has version 2; this Harbrill speaks version 1."},
        {"trailing bytes", good + "!", "The service message is malformed."},
        {"lying pasteboard", lyingPasteboard, "The service message is malformed."},
        {"answer sent as request", Frame::encodeAnswer({true, {}}), "The message is of the wrong kind."},
    };
    for (const auto& c : cases) {
        QByteArray reply;
        {
            Child child([&] { return rawExchange(c.bytes); });
            reply = child.result();
        }
        const std::optional<ServiceAnswer> answer = decodeFramed(reply);
        ASSERT_TRUE(answer.has_value()) << c.what;
        EXPECT_FALSE(answer->ok) << c.what;
        EXPECT_EQ(answer->text, c.answer) << c.what;
        EXPECT_EQ(sendFromChild("moveHarbrill", {"/tmp"}), "ok") << "after " << c.what;
    }

    // A client that goes away mid-message, and one that says nothing, harm no one else.
    Child(([] { return rawExchange(requestFrame("moveHarbrill").left(12), true); })).result();
    Child silent([] {
        const int fd = connectRaw();
        ::sleep(3);
        ::close(fd);
        return QByteArray();
    });
    QThread::msleep(100);
    EXPECT_EQ(sendFromChild("moveHarbrill", {"/tmp"}), "ok");
    EXPECT_EQ(provider.calls.size(), qsizetype(std::size(cases)) + 1);
}

// Many idle connections, and a process out of descriptors, only make clients wait or be turned away:
// the listener goes on serving and its socket stays.
TEST_F(ServicesTest, IdleConnectionsAndDescriptorExhaustionDoNotEndTheListener)
{
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    const auto openDescriptors = [] {
        return QDir("/proc/self/fd").entryList(QDir::NoDotAndDotDot | QDir::AllEntries).size();
    };
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const qsizetype before = openDescriptors();
    for (const bool exhausted : {false, true}) {
        qsizetype most = 0;
        {
            Child idle([] {
                std::vector<int> held;
                for (int i = 0; i < 300; ++i) {
                    const int fd = connectRaw();
                    if (fd >= 0)
                        held.push_back(fd);
                }
                ::sleep(2);
                return QByteArray::number(qsizetype(held.size()));
            });
            if (exhausted) {
                rlimit low = saved;
                low.rlim_cur = rlim_t(before + 4);
                ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
            }
            waitUntil(
                [&] {
                    most = std::max(most, openDescriptors());
                    return false;
                },
                1500);
            ::setrlimit(RLIMIT_NOFILE, &saved);
            idle.result();
        }
        EXPECT_LE(most, before + hb::ServicesListener::kMaximumConnections + 2) << exhausted;
        EXPECT_TRUE(QFileInfo::exists(hb::Services::socketPath())) << exhausted;
        ASSERT_TRUE(waitUntil([&] { return openDescriptors() <= before + 2; })) << exhausted;
        EXPECT_EQ(sendFromChild("moveHarbrill", {"/tmp"}), "ok") << exhausted;
    }
}

TEST_F(ServicesTest, SocketFolderIsPrivateAndOneInstanceServes)
{
    const QString folder = QFileInfo(hb::Services::socketPath()).path();
    QDir().mkpath(folder);
    ::chmod(QFile::encodeName(folder).constData(), 0755);

    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, ::geteuid());

    RecordingProvider second;
    hb::ServicesListener rival(&second);
    const std::optional<hb::Error> refused = rival.listen(hb::Services::socketPath());
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->code, EADDRINUSE);
    EXPECT_EQ(sendFromChild("moveHarbrill", {"/tmp"}), "ok");
    EXPECT_EQ(provider.calls.size(), 1);
    EXPECT_TRUE(second.calls.isEmpty());
}

TEST_F(ServicesTest, StaleSocketFileIsReplaced)
{
    const QString path = hb::Services::socketPath();
    QDir().mkpath(QFileInfo(path).path());
    {
        // A socket file whose listener is gone, as a crashed instance leaves it.
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, QFile::encodeName(path).constData(), size_t(path.size()));
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);
    EXPECT_EQ(sendFromChild("addToLocation", {"/tmp"}), "ok");
}

TEST_F(ServicesTest, FolderOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        HB_SKIP_WITHOUT_ROOT_SETUP("needs root to hand a folder to another user");
    const QString folder = QFileInfo(hb::Services::socketPath()).path();
    QDir().mkpath(folder);
    ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), 65534, 65534), 0);
    const std::optional<hb::Error> error = hb::Services::setServicesProvider(&provider);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, EPERM);
}

TEST_F(ServicesTest, OtherUsersAreRefused)
{
    if (::geteuid() != 0)
        HB_SKIP_WITHOUT_ROOT_SETUP("needs root to run a client as another user");
    ASSERT_EQ(hb::Services::setServicesProvider(&provider), std::nullopt);

    const auto asNobody = [](bool keepFileAccess) {
        return [keepFileAccess] {
            ::prctl(PR_SET_KEEPCAPS, 1);
            if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
                return QByteArray("could not switch user");
            if (keepFileAccess) {
                // Past the private folder, so only the credential check stands in the way.
                __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
                __user_cap_data_struct data[2]{};
                const unsigned int caps = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
                data[0].effective = data[0].permitted = caps;
                if (::syscall(SYS_capset, &header, data) != 0)
                    return QByteArray("could not keep file access");
            }
            return encode(
                hb::Services::send("moveHarbrill", Pasteboard::withFileURLs({hb::URL::fileURLWithPath("/tmp")})));
        };
    };
    const QByteArray blocked = Child(asNobody(false)).result();
    EXPECT_TRUE(blocked.startsWith("error:Cannot reach Harbrill")) << blocked.toStdString();
    EXPECT_EQ(Child(asNobody(true)).result(), "error:Not permitted: Harbrill serves only its own user.");
    EXPECT_TRUE(provider.calls.isEmpty());
    EXPECT_EQ(sendFromChild("moveHarbrill", {"/tmp"}), "ok");
}
