#include "app/ServiceCommand.h"

#include "platform/desktop/Services.h"

#include "TestEnvironment.h"

#include <QFile>
#include <QScopeGuard>

#include <fcntl.h>
#include <future>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class ServiceCommandTest : public HarbrillTest {};

QByteArrayList bytes(const QStringList& arguments)
{
    QByteArrayList list;
    for (const QString& argument : arguments)
        list << argument.toUtf8();
    return list;
}

TEST_F(ServiceCommandTest, BadRequestsAreRefusedBeforeAnythingIsSent)
{
    const QString file = env.writeFile("files/a.txt", "a");
    const QString folder = env.makeFolder("files/sub");
    // A name in Latin-1, as an old archive leaves it: the file is there, but its name is no UTF-8.
    const QByteArray latin1 = QFile::encodeName(env.root()) + "/files/caf\xe9.txt";
    const int fd = ::open(latin1.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    // Qt cannot name it, so it could not remove the temporary folder.
    const auto remove = qScopeGuard([&] { ::unlink(latin1.constData()); });
    const struct {
        QByteArrayList arguments;
        const char* problem;  // empty when the request is good
    } cases[] = {
        {{}, "Name a service"},
        {bytes({"deleteEverything", file}), "Unknown service \"deleteEverything\""},
        {bytes({"moveHarbrill"}), "Name at least one file or folder"},
        {bytes({"addToLocation", "files/sub"}), "Not an absolute path: files/sub"},
        {bytes({"moveHarbrill", file, env.root() + "/missing"}), "No such file or folder"},
        {{"moveHarbrill", latin1}, "Harbrill cannot handle the name "},
        {{"moveHarbrill", latin1 + "x"}, "No such file or folder"},
        {bytes({"moveHarbrill", file, folder}), ""},
        {bytes({"addToLocation", folder}), ""},
    };
    for (const auto& c : cases) {
        const auto parsed = ServiceCommand::parse(c.arguments);
        const QString* problem = std::get_if<QString>(&parsed);
        const std::string label = c.arguments.join(' ').toStdString();
        if (*c.problem == '\0') {
            EXPECT_FALSE(problem) << label;
            if (!problem) {
                QStringList expected;
                for (const QByteArray& path : c.arguments.mid(1))
                    expected << QString::fromUtf8(path);
                EXPECT_EQ(std::get<ServiceCommand>(parsed).paths, expected);
            }
        } else {
            ASSERT_TRUE(problem) << label;
            EXPECT_TRUE(problem->startsWith(c.problem)) << problem->toStdString();
        }
    }
    // The name is shown as it can be typed back.
    const auto parsed = ServiceCommand::parse({"moveHarbrill", latin1});
    ASSERT_TRUE(std::holds_alternative<QString>(parsed));
    EXPECT_TRUE(std::get<QString>(parsed).contains("/files/caf\\xe9.txt: it is not valid UTF-8"))
        << std::get<QString>(parsed).toStdString();
}

class RecordingProvider : public hb::ServicesProvider {
public:
    QString messageName;
    QList<QUrl> items;
    bool refuse = false;
    bool performService(const QString& name, hb::Pasteboard& pasteboard, const QString&,
                        hb::ServiceAnswer& answer) override
    {
        messageName = name;
        items = pasteboard.items();
        if (refuse)
            answer = {false, "not now"};
        return true;
    }
};

ServiceCommand::Outcome sendWhileServing(const ServiceCommand& command)
{
    std::future<ServiceCommand::Outcome> outcome = std::async(std::launch::async, [command] { return command.send(); });
    waitUntil([&] { return outcome.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000);
    return outcome.get();
}

TEST_F(ServiceCommandTest, TheRunningInstanceGetsThePathsAndAnAnswerComesBack)
{
    const QString file = env.writeFile("files/a.txt", "a");
    const QString folder = env.makeFolder("files/sub");
    const ServiceCommand command = std::get<ServiceCommand>(
        ServiceCommand::parse({"moveHarbrill", file.toUtf8(), folder.toUtf8()}));

    const ServiceCommand::Outcome none = command.send();
    EXPECT_NE(none.exitCode, 0);
    EXPECT_TRUE(none.message.contains("not running")) << none.message.toStdString();

    RecordingProvider provider;
    ASSERT_FALSE(hb::Services::setServicesProvider(&provider));
    const ServiceCommand::Outcome taken = sendWhileServing(command);
    EXPECT_EQ(taken.exitCode, 0) << taken.message.toStdString();
    EXPECT_EQ(provider.messageName, "moveHarbrill");
    EXPECT_EQ(provider.items, QList<QUrl>({QUrl::fromLocalFile(file), QUrl::fromLocalFile(folder + "/")}));

    provider.refuse = true;
    const ServiceCommand::Outcome refused = sendWhileServing(command);
    EXPECT_NE(refused.exitCode, 0);
    EXPECT_TRUE(refused.message.contains("not now")) << refused.message.toStdString();
    hb::Services::setServicesProvider(nullptr);
}

}  // namespace
