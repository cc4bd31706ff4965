#include "TestEnvironment.h"

#include "platform/base/Bundle.h"
#include "platform/base/Locations.h"
#include "platform/base/MainQueue.h"
#include "platform/base/NotificationCenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <atomic>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

using hb::NotificationCenter;

namespace {

bool onGuiThread()
{
    return QThread::currentThread() == qApp->thread();
}

}  // namespace

TEST(NotificationCenter, DeliversByNameAndObjectFilter)
{
    NotificationCenter center;
    int a = 0, b = 0;
    QStringList seen;
    const void* owner = &seen;
    center.addObserver(owner, "tile", &a,
                       [&](const hb::Notification& n) { seen << "fromA:" + n.userInfo["k"].toString(); });
    center.addObserver(owner, "tile", nullptr, [&](const hb::Notification&) { seen << "any"; });
    center.addObserver(owner, "", nullptr, [&](const hb::Notification& n) { seen << "all:" + n.name; });

    const struct {
        QString name;
        const void* object;
        QStringList expected;
    } cases[] = {
        {"tile", &a, {"fromA:v", "any", "all:tile"}},
        {"tile", &b, {"any", "all:tile"}},
        {"tile", nullptr, {"any", "all:tile"}},
        {"other", &a, {"all:other"}},
    };
    for (const auto& c : cases) {
        seen.clear();
        center.post(c.name, c.object, {{"k", "v"}});
        EXPECT_EQ(seen, c.expected) << c.name.toStdString();
    }
    center.removeObserver(owner, "tile");
    seen.clear();
    center.post("tile", &a);
    EXPECT_EQ(seen, QStringList{"all:tile"});
    center.removeObserver(owner);
    seen.clear();
    center.post("tile", &a);
    EXPECT_TRUE(seen.isEmpty());
}

TEST(NotificationCenter, ObserversMayChangeObservationsDuringDelivery)
{
    NotificationCenter center;
    QStringList seen;
    NotificationCenter::Token second = 0, first = 0;
    first = center.addObserver(nullptr, "n", nullptr, [&](const hb::Notification&) {
        seen << "first";
        center.removeObserver(first);
        center.removeObserver(second);
        center.addObserver(nullptr, "n", nullptr, [&](const hb::Notification&) { seen << "added"; });
        center.post("nested");
    });
    second = center.addObserver(nullptr, "n", nullptr, [&](const hb::Notification&) { seen << "second"; });
    center.post("n");
    EXPECT_EQ(seen, QStringList{"first"});
    center.post("n");
    EXPECT_EQ(seen, (QStringList{"first", "added"}));
}

TEST(NotificationCenter, PostsFromManyThreadsWhileObserversComeAndGo)
{
    NotificationCenter center;
    std::atomic<int> delivered = 0;
    std::atomic<bool> stop = false;
    std::vector<std::thread> posters;
    for (int i = 0; i < 4; ++i)
        posters.emplace_back([&] {
            while (!stop)
                center.post("n");
        });
    for (int i = 0; i < 2000; ++i) {
        const auto token = center.addObserver(nullptr, "n", nullptr, [&](const hb::Notification&) { ++delivered; });
        center.removeObserver(token);
    }
    const auto kept = center.addObserver(nullptr, "n", nullptr, [&](const hb::Notification&) { ++delivered; });
    EXPECT_TRUE(waitUntil([&] { return delivered > 0; }));
    stop = true;
    for (auto& poster : posters)
        poster.join();
    center.removeObserver(kept);
}

TEST(MainQueue, AfterRunsOnTheGuiThreadOnceTheDelayHasPassed)
{
    std::atomic<int> fired = 0;
    std::atomic<bool> rightThread = true;
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> elapsedFromMain = 0, elapsedFromWorker = 0;
    ASSERT_TRUE(hb::MainQueue::after(std::chrono::milliseconds(50), [&] {
        elapsedFromMain = clock.nsecsElapsed();
        rightThread = rightThread && onGuiThread();
        ++fired;
    }));
    std::thread([&] {
        EXPECT_TRUE(hb::MainQueue::after(std::chrono::milliseconds(60), [&] {
            elapsedFromWorker = clock.nsecsElapsed();
            rightThread = rightThread && onGuiThread();
            ++fired;
        }));
    }).join();
    EXPECT_FALSE(hb::MainQueue::after(std::chrono::nanoseconds(-1), [&] { ++fired; }));
    ASSERT_TRUE(waitUntil([&] { return fired == 2; }));
    EXPECT_GE(elapsedFromMain, 50'000'000);
    EXPECT_GE(elapsedFromWorker, 60'000'000);
    EXPECT_TRUE(rightThread);
    QThread::msleep(20);
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, 2);
}

TEST(MainQueue, AfterNeverRunsInsideTheCaller)
{
    for (const auto delay : {std::chrono::nanoseconds(0), std::chrono::nanoseconds(1)}) {
        bool fired = false;
        ASSERT_TRUE(hb::MainQueue::after(delay, [&] { fired = true; }));
        QThread::msleep(1);
        EXPECT_FALSE(fired) << delay.count();
        EXPECT_TRUE(waitUntil([&] { return fired; }));
    }
}

TEST(MainQueue, SyncFromAWorkerWaitsForTheBlock)
{
    bool ranOnGui = false;
    std::atomic<bool> returned = false;
    std::thread worker([&] {
        hb::MainQueue::sync([&] {
            QThread::msleep(20);
            ranOnGui = onGuiThread();
        });
        EXPECT_TRUE(ranOnGui);
        returned = true;
    });
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
    worker.join();

    bool direct = false;
    hb::MainQueue::sync([&] { direct = true; });
    EXPECT_TRUE(direct);
    EXPECT_TRUE(hb::MainQueue::isMainThread());
}

TEST(Locations, FollowTheEnvironmentAtEveryCall)
{
    TestEnvironment env;
    qputenv("XDG_CONFIG_HOME", "/somewhere/conf/");
    EXPECT_EQ(hb::Locations::applicationConfigDirectory(), "/somewhere/conf/harbrill");
    qputenv("XDG_CONFIG_HOME", "relative/conf");
    EXPECT_EQ(hb::Locations::configHome(), env.home() + "/.config");
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(hb::Locations::containerDirectory(), env.home() + "/.local/share/harbrill/container");
    EXPECT_EQ(hb::Locations::applicationScriptsDirectory(), env.home() + "/.local/share/harbrill/Application Scripts");
    qunsetenv("XDG_CACHE_HOME");
    qunsetenv("HOME");
    EXPECT_EQ(hb::Locations::cacheHome(), env.home() + "/.cache");  // from the user database, redirected

    hb::Locations::setUserDatabaseHome({});
    EXPECT_NE(hb::Locations::userDatabaseHome(), env.home());
    EXPECT_FALSE(hb::Locations::userDatabaseHome().isEmpty());
}

TEST(Locations, HomeFollowsAnAbsoluteHomeVariable)
{
    TestEnvironment env;
    hb::Locations::setUserDatabaseHome({});
    const QString other = env.makeFolder("elsewhere");
    qputenv("HOME", (other + "/").toUtf8());
    EXPECT_EQ(hb::Locations::userDatabaseHome(), other);
    qputenv("HOME", "relative/home");
    const QString database = hb::Locations::userDatabaseHome();
    EXPECT_TRUE(database.startsWith(u'/'));
    EXPECT_NE(database, other);
}

TEST(Locations, RuntimeFolderFallsBackToAPrivateFolder)
{
    TestEnvironment env;
    EXPECT_EQ(hb::Locations::runtimeDirectory(), env.root() + "/runtime");
    qunsetenv("XDG_RUNTIME_DIR");
    const QByteArray savedTemporary = qgetenv("TMPDIR");
    qputenv("TMPDIR", env.makeFolder("tmp").toUtf8());
    const QString fallback = hb::Locations::runtimeDirectory();
    EXPECT_EQ(fallback, QStringLiteral("%1/tmp/harbrill-%2").arg(env.root()).arg(getuid()));
    // A name held by someone else (here: not a folder) is not used.
    qputenv("TMPDIR", env.makeFolder("taken").toUtf8());
    env.writeFile(QStringLiteral("taken/harbrill-%1").arg(getuid()), "x");
    const QString elsewhere = hb::Locations::runtimeDirectory();
    EXPECT_EQ(elsewhere, env.root() + "/cache/harbrill-runtime");
    EXPECT_TRUE(QFileInfo(elsewhere).isDir());
    if (savedTemporary.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", savedTemporary);
    struct stat info {};
    ASSERT_EQ(::lstat(QFile::encodeName(fallback).constData(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(info.st_uid, getuid());
}

TEST(Bundle, ReadsTheInformationDictionaryAndResources)
{
    EXPECT_EQ(hb::Bundle::objectForInfoDictionaryKey("CFBundleIdentifier").toString(), "com.mirelda.Harbrill");
    EXPECT_TRUE(hb::Bundle::infoDictionary().value("DefaultFolderlist").canConvert<QVariantList>());
    EXPECT_TRUE(hb::Bundle::resourceData("Info.json").has_value());
    EXPECT_EQ(hb::Bundle::resourcePath("Info.json"), ":/Info.json");
    EXPECT_FALSE(hb::Bundle::resourceData("missing.bin").has_value());
    EXPECT_TRUE(hb::Bundle::resourcePath(":/missing.bin").isEmpty());
}
