#include "TestEnvironment.h"

#include "platform/base/UserDefaults.h"
#include "platform/base/UserDefaultsController.h"
#include "platform/base/UserDefaultsTypedJson.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QThread>

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <thread>

using hb::UserDefaults;

namespace {

// Another process of this test binary running one of the DISABLED_ helper tests below.
std::unique_ptr<QProcess> startHelper(const QString& mode)
{
    auto process = std::make_unique<QProcess>();
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HB_DEFAULTS_HELPER", mode);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QCoreApplication::applicationFilePath(),
                   {"--gtest_also_run_disabled_tests", "--gtest_filter=DefaultsHelper.DISABLED_" + mode});
    return process;
}

bool runHelper(const QString& mode)
{
    const auto process = startHelper(mode);
    return process->waitForFinished(30000) && process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0;
}

QStringList corruptCopies(const QString& configFile)
{
    const QFileInfo info(configFile);
    return QDir(info.path()).entryList({info.fileName() + ".corrupt-*"}, QDir::Files, QDir::Name);
}

}  // namespace

class Defaults : public HarbrillTest {};

TEST_F(Defaults, ValuesKeepTheirTypeAcrossProcesses)
{
    const QVariantMap nested{{"list", QVariantList{true, qlonglong(3), "x", QVariantMap{{"k", 1.5}}}},
                             {"empty", QVariantMap{}}};
    const struct {
        const char* key;
        QVariant value;
    } cases[] = {
        {"bool", true},
        {"int", qlonglong(42)},
        {"bigInt", std::numeric_limits<qlonglong>::max()},
        {"smallInt", std::numeric_limits<qlonglong>::min()},
        {"double", 0.1},
        {"wholeDouble", 2.0},
        {"infinity", -std::numeric_limits<double>::infinity()},
        {"string", QString("Grüße \u201Cquoted\u201D")},
        {"numericString", QString("12")},
        {"date", QDateTime(QDate(2024, 2, 29), QTime(23, 59, 58, 123), Qt::UTC)},
        {"data", QByteArray("\0\xff\x80 binary", 11)},
        {"emptyData", QByteArray("")},
        {"array", QVariantList{qlonglong(1), QString("1"), QByteArray("1"), false}},
        {"dict", nested},
    };
    UserDefaults* suite = UserDefaults::suite("R4KX7PZ2QD.com.mirelda.Harbrill.Locations");
    ASSERT_NE(suite, nullptr);
    for (const auto& c : cases) {
        UserDefaults::standard().setObject(c.key, c.value);
        suite->setObject(c.key, c.value);
    }
    ASSERT_TRUE(UserDefaults::standard().synchronize());
    ASSERT_TRUE(suite->synchronize());
    EXPECT_EQ(UserDefaults::standard().filePath(), env.root() + "/config/harbrill/com.mirelda.Harbrill.json");
    EXPECT_EQ(suite->filePath(), env.root() + "/config/harbrill/R4KX7PZ2QD.com.mirelda.Harbrill.Locations.json");

    UserDefaults::resetSharedInstances();
    for (UserDefaults* store : {&UserDefaults::standard(), suite}) {
        for (const auto& c : cases) {
            const QVariant read = store->object(c.key);
            EXPECT_EQ(read, c.value) << c.key;
            EXPECT_EQ(read.typeId(), c.value.typeId()) << c.key;
        }
    }
    // A NaN never equals itself: check it apart.
    UserDefaults::standard().setObject("nan", std::nan(""));
    UserDefaults::standard().synchronize();
    UserDefaults::resetSharedInstances();
    EXPECT_TRUE(std::isnan(UserDefaults::standard().doubleForKey("nan")));
}

TEST_F(Defaults, StoresIntegersOfEveryWidthAsIntegersAndRefusesOtherTypes)
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setObject("int", 7);
    defaults.setObject("unsigned", 7u);
    defaults.setObject("float", 0.5f);
    defaults.setObject("strings", QStringList{"a", "b"});
    EXPECT_EQ(defaults.object("int").typeId(), QMetaType::LongLong);
    EXPECT_EQ(defaults.object("unsigned").typeId(), QMetaType::LongLong);
    EXPECT_EQ(defaults.object("float").typeId(), QMetaType::Double);
    EXPECT_EQ(defaults.arrayForKey("strings"), (QVariantList{"a", "b"}));

    defaults.setObject("url", QUrl("file:///tmp"));
    defaults.setObject("listWithUrl", QVariantList{1, QUrl("file:///tmp")});
    defaults.setObject("int", std::numeric_limits<qulonglong>::max());
    EXPECT_FALSE(defaults.object("url").isValid());
    EXPECT_FALSE(defaults.object("listWithUrl").isValid());
    EXPECT_EQ(defaults.integerForKey("int"), 7);
}

TEST_F(Defaults, TypedAccessorsConvertLikeTheirNamesSay)
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setObject("yes", "YES");
    defaults.setObject("no", "no");
    defaults.setObject("number", "17");
    defaults.setObject("double", 2.9);
    defaults.setObject("true", true);
    EXPECT_TRUE(defaults.boolForKey("yes"));
    EXPECT_FALSE(defaults.boolForKey("no"));
    EXPECT_TRUE(defaults.boolForKey("number"));
    EXPECT_TRUE(defaults.boolForKey("double"));
    EXPECT_FALSE(defaults.boolForKey("missing"));
    EXPECT_EQ(defaults.integerForKey("number"), 17);
    EXPECT_EQ(defaults.integerForKey("double"), 2);
    EXPECT_EQ(defaults.integerForKey("true"), 1);
    EXPECT_EQ(defaults.stringForKey("number"), "17");
    EXPECT_EQ(defaults.stringForKey("double"), "");
    EXPECT_TRUE(defaults.dataForKey("number").isEmpty());
    EXPECT_TRUE(defaults.dictionaryForKey("number").isEmpty());
}

TEST_F(Defaults, RegisteredDefaultsApplyOnlyWhileNothingIsStored)
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.registerDefaults({{"playSoundEffects", true}, {"scriptRun", 0}});
    EXPECT_TRUE(defaults.boolForKey("playSoundEffects"));

    defaults.setBool("playSoundEffects", false);
    defaults.registerDefaults({{"playSoundEffects", true}});
    EXPECT_FALSE(defaults.boolForKey("playSoundEffects"));
    ASSERT_TRUE(defaults.synchronize());

    QFile file(defaults.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto stored = hb::TypedJson::decodeDocument(file.readAll());
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(*stored, (QVariantMap{{"playSoundEffects", false}}));

    defaults.removeObject("playSoundEffects");
    EXPECT_TRUE(defaults.boolForKey("playSoundEffects"));
    UserDefaults::resetSharedInstances();
    EXPECT_FALSE(UserDefaults::standard().object("scriptRun").isValid());
}

TEST_F(Defaults, UnreadableFileIsKeptAsideAndTheStoreStartsEmpty)
{
    const QString path = UserDefaults::standard().filePath();
    const QByteArray documents[] = {
        "{\"truncated\": {\"type\": \"bool\", \"val",
        "not json at all",
        "[]",
    };
    QStringList kept;
    for (const QByteArray& document : documents) {
        env.writeFile("config/harbrill/com.mirelda.Harbrill.json", document);
        UserDefaults::resetSharedInstances();
        EXPECT_FALSE(UserDefaults::standard().object("truncated").isValid());
        UserDefaults::standard().setObject("after", 1);
        ASSERT_TRUE(UserDefaults::standard().synchronize());

        kept = corruptCopies(path);
        ASSERT_EQ(kept.size(), qsizetype(&document - documents + 1));
        QFile copy(QFileInfo(path).path() + "/" + kept.last());
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), document);
    }
    UserDefaults::resetSharedInstances();
    EXPECT_EQ(UserDefaults::standard().integerForKey("after"), 1);
}

TEST_F(Defaults, OneValueThatDoesNotDecodeCostsOnlyThatValue)
{
    const QString path = UserDefaults::standard().filePath();
    env.writeFile("config/harbrill/com.mirelda.Harbrill.json",
                  "{\"kept\": {\"type\": \"int\", \"value\": 1},"
                  " \"colour\": {\"type\": \"colour\", \"value\": 1},"
                  " \"emptyDate\": {\"type\": \"date\", \"value\": \"\"},"
                  " \"list\": {\"type\": \"array\", \"value\": [{\"type\": \"bool\", \"value\": 3}]}}");
    UserDefaults::resetSharedInstances();
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.integerForKey("kept"), 1);
    for (const char* key : {"colour", "emptyDate"})
        EXPECT_FALSE(defaults.object(key).isValid()) << key;
    // A list keeps its place for the element it cannot read.
    const QVariantList list = defaults.arrayForKey("list");
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list[0].typeId(), qMetaTypeId<hb::TypedJson::UndecodedValue>());
    EXPECT_TRUE(corruptCopies(path).isEmpty());
}

// Values a newer version wrote, or without a type, survive this version's writes byte for byte: whole
// values beside the ones it reads, and single entries inside a list it reads and writes back.
TEST_F(Defaults, WhatThisVersionCannotReadIsWrittenBackByteForByte)
{
    const QByteArray colour = R"({"type": "colour",   "value": [1.50, 12345678901234567890, "caf\u00e9"]})";
    const QByteArray untagged = R"({"value": true})";
    const QByteArray entry = R"({"type": "url", "value": "file:///x"})";
    env.writeFile("config/harbrill/com.mirelda.Harbrill.json",
                  "{\"kept\": {\"type\": \"int\", \"value\": 1},\n \"colour\": " + colour
                      + ",\n \"untagged\": " + untagged
                      + ",\n \"list\": {\"type\": \"array\", \"value\": [{\"type\": \"string\", \"value\": \"a\"}, "
                      + entry + "]}}");
    UserDefaults::resetSharedInstances();
    UserDefaults& defaults = UserDefaults::standard();
    QVariantList list = defaults.arrayForKey("list");
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0], "a");
    list.append("b");
    defaults.setObject("list", list);  // read, changed and written back
    defaults.setObject("kept", 2);
    ASSERT_TRUE(defaults.synchronize());

    QFile file(defaults.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    for (const QByteArray& text : {colour, untagged, entry})
        EXPECT_TRUE(written.contains(text)) << text.toStdString() << " not in\n" << written.toStdString();
    UserDefaults::resetSharedInstances();
    EXPECT_EQ(UserDefaults::standard().integerForKey("kept"), 2);
    EXPECT_EQ(UserDefaults::standard().arrayForKey("list").size(), 3);
    EXPECT_FALSE(UserDefaults::standard().object("colour").isValid());
    EXPECT_TRUE(corruptCopies(defaults.filePath()).isEmpty());
}

TEST_F(Defaults, AValueThatWouldNotReadBackIsRefusedAndCostsNothingElse)
{
    struct Case {
        const char* name;
        QVariant value;
    };
    const Case cases[] = {
        {"date before year 0", QDateTime(QDate(-1, 6, 1), QTime(12, 0), Qt::UTC)},
        {"date after year 9999", QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC)},
        {"date inside a list", QVariantList{1, QDateTime(QDate(12000, 1, 1), QTime(0, 0), Qt::UTC)}},
    };
    for (const Case& c : cases) {
        UserDefaults::resetSharedInstances();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.setObject("grant", QByteArray("bookmark"));
        defaults.setObject("value", "before");
        defaults.setObject("value", c.value);
        EXPECT_EQ(defaults.stringForKey("value"), "before") << c.name;
        ASSERT_TRUE(defaults.synchronize()) << c.name;

        UserDefaults::resetSharedInstances();
        EXPECT_EQ(UserDefaults::standard().dataForKey("grant"), "bookmark") << c.name;
        EXPECT_EQ(UserDefaults::standard().stringForKey("value"), "before") << c.name;
        EXPECT_TRUE(corruptCopies(UserDefaults::standard().filePath()).isEmpty()) << c.name;
    }
    // The edges of what can be written still are.
    const QDateTime last(QDate(9999, 12, 31), QTime(23, 59, 59, 999), Qt::UTC);
    UserDefaults::standard().setObject("edge", last);
    ASSERT_TRUE(UserDefaults::standard().synchronize());
    UserDefaults::resetSharedInstances();
    EXPECT_EQ(UserDefaults::standard().object("edge").toDateTime(), last);
}

TEST_F(Defaults, ChangesReachTheFileWithoutAnExplicitSynchronize)
{
    UserDefaults::standard().setObject("soon", "written");
    const QString path = UserDefaults::standard().filePath();
    EXPECT_TRUE(waitUntil([&] { return QFile(path).exists(); }));
    EXPECT_TRUE(runHelper("ExpectSoon"));
}

TEST_F(Defaults, ChangesPendingAtExitAreWritten)
{
    ASSERT_TRUE(runHelper("SetAndExit"));
    EXPECT_EQ(UserDefaults::standard().stringForKey("atExit"), "kept");
}

TEST_F(Defaults, AnotherProcessDoesNotLoseOurKeys)
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.setObject("first", 1);
    defaults.setObject("removedByHelper", 0);
    ASSERT_TRUE(defaults.synchronize());
    defaults.setObject("third", 3);  // pending while the other process writes

    QSignalSpy changes(&defaults, &UserDefaults::valueChanged);
    ASSERT_TRUE(runHelper("WriteSecond"));
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(defaults.integerForKey("second"), 2);
    EXPECT_TRUE(changes.contains(QVariantList{"second"}));
    EXPECT_TRUE(changes.contains(QVariantList{"removedByHelper"}));
    EXPECT_FALSE(changes.contains(QVariantList{"third"}));

    UserDefaults::resetSharedInstances();
    for (const char* key : {"first", "second", "third"})
        EXPECT_TRUE(UserDefaults::standard().object(key).isValid()) << key;
    EXPECT_FALSE(UserDefaults::standard().object("removedByHelper").isValid());
}

TEST_F(Defaults, KilledWriterLeavesOldOrNewContents)
{
    const QString path = UserDefaults::standard().filePath();
    for (int round = 0; round < 6; ++round) {
        const auto writer = startHelper("WriteForever");
        ASSERT_TRUE(writer->waitForStarted());
        ASSERT_TRUE(waitUntil([&] { return QFile(path).exists(); }, 20000));
        QThread::msleep(QRandomGenerator::global()->bounded(20, 200));
        writer->kill();
        ASSERT_TRUE(writer->waitForFinished());

        UserDefaults::resetSharedInstances();
        UserDefaults& defaults = UserDefaults::standard();
        const qlonglong counter = defaults.integerForKey("counter");
        const QByteArray big = defaults.dataForKey("big");
        ASSERT_EQ(big.size(), 1 << 20);
        EXPECT_EQ(big.count(char('a' + counter % 26)), big.size());
        EXPECT_TRUE(corruptCopies(path).isEmpty());
    }
}

TEST_F(Defaults, TheTemporaryFileOfAKilledWriteIsRemovedAtTheNextStart)
{
    UserDefaults::standard().setObject("kept", 1);
    ASSERT_TRUE(UserDefaults::standard().synchronize());
    const QString path = UserDefaults::standard().filePath();
    const QString folder = QFileInfo(path).path();
    env.writeFile("config/harbrill/com.mirelda.Harbrill.json.Ab12Cd", "{\"half\": ");
    env.writeFile("config/harbrill/R4KX7PZ2QD.com.mirelda.Harbrill.Locations.json.Ab12Cd", "another store's");
    env.writeFile("config/harbrill/com.mirelda.Harbrill.json.notes", "not a temporary name");

    UserDefaults::resetSharedInstances();
    EXPECT_EQ(UserDefaults::standard().integerForKey("kept"), 1);
    EXPECT_FALSE(QFile::exists(path + ".Ab12Cd"));
    EXPECT_TRUE(QFile::exists(folder + "/R4KX7PZ2QD.com.mirelda.Harbrill.Locations.json.Ab12Cd"));
    EXPECT_TRUE(QFile::exists(path + ".notes"));
}

TEST_F(Defaults, FilesAreReadableByTheirOwnerOnly)
{
    // An older file readable by everyone becomes private at the next write, whatever the umask.
    const mode_t savedMask = ::umask(022);
    UserDefaults* suite = UserDefaults::suite("private");
    env.writeFile("config/harbrill/private.json", "{}");
    QFile::setPermissions(suite->filePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    for (UserDefaults* store : {&UserDefaults::standard(), suite}) {
        store->setObject("/home/someone/Documents", QByteArray("bookmark"));
        ASSERT_TRUE(store->synchronize());
        struct stat info {};
        ASSERT_EQ(::stat(QFile::encodeName(store->filePath()).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << store->filePath().toStdString();
    }
    ::umask(savedMask);
}

TEST_F(Defaults, ValueChangedOnlyForRealChanges)
{
    UserDefaults& defaults = UserDefaults::standard();
    QSignalSpy changes(&defaults, &UserDefaults::valueChanged);
    defaults.setObject("k", 1);
    defaults.setObject("k", 1);
    defaults.setObject("k", true);
    defaults.removeObject("k");
    defaults.removeObject("k");
    EXPECT_EQ(changes.count(), 3);
}

TEST_F(Defaults, SuiteNamesThatEscapeTheFolderAreRefused)
{
    for (const char* name : {"", "a/b", "..", "../x"})
        EXPECT_EQ(UserDefaults::suite(name), nullptr) << name;
    EXPECT_EQ(UserDefaults::suite("x"), UserDefaults::suite("x"));
    EXPECT_EQ(UserDefaults::suite("com.mirelda.Harbrill"), &UserDefaults::standard());
}

TEST_F(Defaults, ControllerObserversFollowTheirKeyOnTheGuiThread)
{
    auto& controller = hb::UserDefaultsController::shared();
    auto context = std::make_unique<QObject>();
    QVariantList seen;
    QList<bool> onGuiThread;
    const auto connection = controller.addObserver("values.sourceAvailable", context.get(), [&](const QVariant& value) {
        seen.append(value);
        onGuiThread.append(QThread::currentThread() == qApp->thread());
    });
    ASSERT_TRUE(connection);

    controller.setValueForKeyPath("values.sourceAvailable", true);
    UserDefaults::standard().setObject("other", 1);
    EXPECT_EQ(seen, QVariantList{true});
    EXPECT_EQ(controller.valueForKeyPath("values.sourceAvailable"), QVariant(true));
    EXPECT_FALSE(controller.valueForKeyPath("sourceAvailable").isValid());

    std::thread([] { UserDefaults::standard().setBool("sourceAvailable", false); }).join();
    EXPECT_TRUE(waitUntil([&] { return seen.size() == 2; }));
    EXPECT_EQ(seen.value(1), QVariant(false));
    EXPECT_EQ(onGuiThread, (QList<bool>{true, true}));

    // Observers survive a reset of the shared stores.
    UserDefaults::resetSharedInstances();
    UserDefaults::standard().setBool("sourceAvailable", true);
    EXPECT_EQ(seen.size(), 3);

    controller.removeObserver(connection);
    UserDefaults::standard().setBool("sourceAvailable", false);
    context.reset();
    EXPECT_FALSE(controller.addObserver("values.", nullptr, [](const QVariant&) {}));
    EXPECT_EQ(seen.size(), 3);
}

// Helpers run in a second process by the tests above; they do nothing in a normal run.
class DefaultsHelper : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariable("HB_DEFAULTS_HELPER")
            != QString::fromLatin1(::testing::UnitTest::GetInstance()->current_test_info()->name()).mid(9))
            GTEST_SKIP() << "runs only as a helper process";
    }
};

TEST_F(DefaultsHelper, DISABLED_WriteSecond)
{
    UserDefaults::standard().setObject("second", 2);
    UserDefaults::standard().removeObject("removedByHelper");
    EXPECT_TRUE(UserDefaults::standard().synchronize());
}

TEST_F(DefaultsHelper, DISABLED_ExpectSoon)
{
    EXPECT_EQ(UserDefaults::standard().stringForKey("soon"), "written");
}

TEST_F(DefaultsHelper, DISABLED_SetAndExit)
{
    UserDefaults::standard().setObject("atExit", "kept");
}

TEST_F(DefaultsHelper, DISABLED_WriteForever)
{
    for (qlonglong counter = 0;; ++counter) {
        UserDefaults::standard().setObject("big", QByteArray(1 << 20, char('a' + counter % 26)));
        UserDefaults::standard().setObject("counter", counter);
        UserDefaults::standard().synchronize();
    }
}
