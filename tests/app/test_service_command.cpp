#include "app/ServiceCommand.h"

#include "platform/desktop/Services.h"

#include "TestEnvironment.h"

#include <future>

#include <gtest/gtest.h>

namespace {

class ServiceCommandTest : public HarbrillTest {};

TEST_F(ServiceCommandTest, BadRequestsAreRefusedBeforeAnythingIsSent)
{
    const QString file = env.writeFile("files/a.txt", "a");
    const QString folder = env.makeFolder("files/sub");
    const struct {
        QStringList arguments;
        const char* problem;  // empty when the request is good
    } cases[] = {
        {{}, "Name a service"},
        {{"deleteEverything", file}, "Unknown service \"deleteEverything\""},
        {{"moveHarbrill"}, "Name at least one file or folder"},
        {{"addToLocation", "files/sub"}, "Not an absolute path: files/sub"},
        {{"moveHarbrill", file, env.root() + "/missing"}, "No such file or folder"},
        {{"moveHarbrill", file, folder}, ""},
        {{"addToLocation", folder}, ""},
    };
    for (const auto& c : cases) {
        const auto parsed = ServiceCommand::parse(c.arguments);
        const QString* problem = std::get_if<QString>(&parsed);
        if (*c.problem == '\0') {
            EXPECT_FALSE(problem) << c.arguments.join(' ').toStdString();
            if (!problem)
                EXPECT_EQ(std::get<ServiceCommand>(parsed).paths, c.arguments.mid(1));
        } else {
            ASSERT_TRUE(problem) << c.arguments.join(' ').toStdString();
            EXPECT_TRUE(problem->startsWith(c.problem)) << problem->toStdString();
        }
    }
}

class RecordingProvider : public hb::ServicesProvider {
public:
    QString messageName;
    QList<QUrl> items;
    bool refuse = false;
    bool performService(const QString& name, hb::Pasteboard& pasteboard, const QString&, QString* error) override
    {
        messageName = name;
        items = pasteboard.items();
        if (refuse)
            *error = "not now";
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
    const ServiceCommand command = std::get<ServiceCommand>(ServiceCommand::parse({"moveHarbrill", file, folder}));

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
