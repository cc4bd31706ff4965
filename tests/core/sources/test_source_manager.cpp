#include "CopyFixtures.h"
#include "RecordingUIDelegate.h"
#include "TestEnvironment.h"

#include "core/sources/HBFinderData.h"
#include "core/sources/HBSourceManager.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "platform/base/UserDefaults.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Volumes.h"

#include <QElapsedTimer>
#include <QFile>

namespace {

class SourceManagerTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        clock.start();
        ui.answerAlert = [this](const HBAlertRequest& alert) {
            alerts << QStringList{alert.messageText, alert.informativeText};
            alertTimes << clock.elapsed();
            return 0;
        };
    }

    // A folder of files reachable only through its stored bookmark, as in a later run.
    void bookmarkFolder(const QString& folder)
    {
        env.grant(folder);
        ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(folder, true), false));
        hb::AccessRegistry::resetForTesting();
    }

    static bool sourceAvailable() { return hb::UserDefaults::standard().boolForKey(sourceAvailableDefaultsKey); }
    static void setSourceAvailable(bool value)
    {
        hb::UserDefaults::standard().setBool(sourceAvailableDefaultsKey, value);
    }

    void installFinderScript(const QByteArray& body)
    {
        const QString script = hb::UserScriptTask::applicationScriptsDirectory(true)
                                   ->appendingPathComponent(HBFinderData::scriptFileName)
                                   .path();
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    void settle(int ms = 600)
    {
        waitUntil([] { return false; }, ms);
    }

    QElapsedTimer clock;
    QList<QStringList> alerts;
    QList<qint64> alertTimes;
    RecordingUIDelegate ui;
};

TEST_F(SourceManagerTest, KeepsReadableItemsInOrderAndWarnsOnceLater)
{
    const QString folder = env.makeFolder("files");
    const QString a = env.writeFile("files/a.txt", "a");
    const QString b = env.writeFile("files/b.txt", "b");
    const QString outside = env.writeFile("outside/c.txt", "c");
    bookmarkFolder(folder);
    setSourceAvailable(false);

    clock.restart();
    const auto manager = HBSourceManager::create(
        DataSource::service,
        {hb::URL::fileURLWithPath(b), hb::URL::fileURLWithPath(outside), hb::URL::fileURLWithPath(a)}, &ui);
    EXPECT_EQ(manager->getSourceURLs(), (QList<hb::URL>{hb::URL::fileURLWithPath(b), hb::URL::fileURLWithPath(a)}));
    EXPECT_TRUE(sourceAvailable());
    EXPECT_TRUE(alerts.isEmpty()) << "the warning comes later";
    settle(1000);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_GE(alertTimes.first(), 390);
    EXPECT_EQ(
        alerts.first(),
        (QStringList{" No read permission to some selected items ",
                     "The items for which read permission are not granted will not be selected to Move or Copy"}));
}

TEST_F(SourceManagerTest, UnreadableItemIsLeftOut)
{
    const QString folder = env.makeFolder("files");
    const QString a = env.writeFile("files/a.txt", "a");
    const QString secret = env.writeFile("files/secret.txt", "s");
    const QString b = env.writeFile("files/b.txt", "b");
    QFile::setPermissions(secret, QFile::WriteOwner);
    bookmarkFolder(folder);
    setSourceAvailable(false);

    const WithoutFilePermissionOverride asAnyUser;  // root would read it all the same
    clock.restart();
    const auto manager = HBSourceManager::create(
        DataSource::service,
        {hb::URL::fileURLWithPath(b), hb::URL::fileURLWithPath(secret), hb::URL::fileURLWithPath(a)}, &ui);
    EXPECT_EQ(manager->getSourceURLs(), (QList<hb::URL>{hb::URL::fileURLWithPath(b), hb::URL::fileURLWithPath(a)}));
    EXPECT_TRUE(sourceAvailable());
    settle();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_GE(alertTimes.first(), 390);
}

TEST_F(SourceManagerTest, NothingAcceptedLeavesSourceAvailableAsItWas)
{
    const hb::URL volume = hb::Volumes::mountedVolumes().first().root;
    struct Case {
        const char* name;
        QList<hb::URL> urls;
        int alerts;
    };
    const Case cases[] = {
        {"a volume root", {volume}, 1},
        {"nothing at all", {}, 0},
    };
    for (const Case& c : cases) {
        for (const bool before : {false, true}) {
            SCOPED_TRACE(testing::Message() << c.name << ", sourceAvailable " << before);
            alerts.clear();
            env.grant(volume.path());
            HBURL::shared().bookmark(volume, false);
            hb::AccessRegistry::resetForTesting();
            setSourceAvailable(before);
            const auto manager = HBSourceManager::create(DataSource::pasteBoard, c.urls, &ui);
            EXPECT_TRUE(manager->getSourceURLs().isEmpty());
            EXPECT_EQ(sourceAvailable(), before);
            settle();
            EXPECT_EQ(alerts.size(), c.alerts);
        }
    }
}

TEST_F(SourceManagerTest, FinderAnswerBecomesTheSourceOnceAndReplacesEarlierURLs)
{
    const QString folder = env.makeFolder("files");
    const QString a = env.writeFile("files/a.txt", "a");
    const QString b = env.writeFile("files/b.txt", "b");
    bookmarkFolder(folder);
    const QString counter = env.root() + "/runs";
    installFinderScript(QStringLiteral("echo run >> '%1'; echo '%2'").arg(counter, b).toUtf8());

    setSourceAvailable(false);
    const auto pasteBoard = HBSourceManager::create(DataSource::pasteBoard, {}, &ui);
    pasteBoard->requestFinderSelection();
    EXPECT_FALSE(pasteBoard->finderDataManager());

    const auto manager = HBSourceManager::create(DataSource::finder, {hb::URL::fileURLWithPath(a)}, &ui);
    manager->requestFinderSelection();
    manager->requestFinderSelection();
    ASSERT_TRUE(waitUntil([&] { return manager->getSourceURLs() == QList<hb::URL>{hb::URL::fileURLWithPath(b)}; }));
    EXPECT_TRUE(sourceAvailable());
    EXPECT_TRUE(manager->finderDataManager());
    settle(300);
    QFile runs(counter);
    ASSERT_TRUE(runs.open(QIODevice::ReadOnly));
    EXPECT_EQ(runs.readAll(), "run\n");
}

TEST_F(SourceManagerTest, FailedEmptyOrLateAnswersChangeNothing)
{
    const QString folder = env.makeFolder("files");
    const QString a = env.writeFile("files/a.txt", "a");
    bookmarkFolder(folder);
    const QList<hb::URL> selection{hb::URL::fileURLWithPath(a)};

    const auto manager = HBSourceManager::create(DataSource::finder, {}, &ui);
    manager->finderURLs(selection);
    EXPECT_TRUE(manager->getSourceURLs().isEmpty()) << "no request was made";

    installFinderScript("sleep 1");  // answers an empty list, late
    setSourceAvailable(false);
    manager->requestFinderSelection();
    manager->finderURLs(std::nullopt);
    manager->finderURLs(QList<hb::URL>());
    EXPECT_TRUE(manager->getSourceURLs().isEmpty());
    EXPECT_FALSE(sourceAvailable());

    manager->emptySource();
    EXPECT_TRUE(manager->sourceDead());
    EXPECT_FALSE(manager->finderDataManager());
    manager->finderURLs(selection);
    EXPECT_TRUE(manager->getSourceURLs().isEmpty());
    EXPECT_FALSE(sourceAvailable());
    settle(1500);
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(SourceManagerTest, LateScriptAnswerAfterEmptySourceIsIgnored)
{
    const QString folder = env.makeFolder("files");
    const QString a = env.writeFile("files/a.txt", "a");
    bookmarkFolder(folder);
    const QString done = env.root() + "/answered";
    installFinderScript(QStringLiteral("sleep 0.3; echo '%1'; touch '%2'").arg(a, done).toUtf8());

    const auto manager = HBSourceManager::create(DataSource::finder, {}, &ui);
    manager->requestFinderSelection();
    manager->emptySource();
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(done); }));
    settle(300);
    EXPECT_TRUE(manager->getSourceURLs().isEmpty());
    EXPECT_FALSE(sourceAvailable());
}

}  // namespace
