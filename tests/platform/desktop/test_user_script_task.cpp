#include "TestEnvironment.h"

#include "platform/desktop/UserScriptTask.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/FrontWindow.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <atomic>
#include <csignal>
#include <mutex>
#include <sys/stat.h>

using namespace std::chrono_literals;

namespace {

const hb::AppleEventDescriptor kEvent{QStringLiteral("com.mirelda.Harbrill"), QStringLiteral("ascr"),
                                      QStringLiteral("psbr"), QStringLiteral("finderSelection")};

struct Answer {
    std::mutex mutex;
    bool done = false;
    bool onMainThread = true;
    std::optional<QStringList> lines;
    std::optional<hb::Error> error;
};

class UserScriptTaskTest : public HarbrillTest {
protected:
    hb::URL scriptsFolder() { return *hb::UserScriptTask::applicationScriptsDirectory(true); }

    hb::URL writeScript(const QString& name, const QByteArray& body, QFile::Permissions permissions = executable)
    {
        const hb::URL url = scriptsFolder().appendingPathComponent(name);
        QFile file(url.path());
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(permissions);
        return url;
    }

    std::shared_ptr<Answer> run(const hb::URL& script, std::chrono::milliseconds timeout = 5s)
    {
        auto task = hb::UserScriptTask::create(script);
        EXPECT_TRUE(task);
        auto answer = std::make_shared<Answer>();
        if (!task)
            return answer;
        task->setTimeout(timeout);
        task->execute(kEvent, [answer](const auto& lines, const auto& error) {
            std::lock_guard lock(answer->mutex);
            answer->lines = lines;
            answer->error = error;
            answer->onMainThread = QThread::currentThread() == QCoreApplication::instance()->thread();
            answer->done = true;
        });
        task.reset();  // the run does not depend on the task object
        EXPECT_TRUE(waitUntil(
            [&] {
                std::lock_guard lock(answer->mutex);
                return answer->done;
            },
            10000));
        return answer;
    }

    static constexpr QFile::Permissions executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadGroup | QFile::ExeGroup;
};

TEST_F(UserScriptTaskTest, AnswersTheLinesItPrintsOnAWorkerThread)
{
    struct Case {
        const char* name;
        QByteArray body;
        QStringList lines;
    };
    const Case cases[] = {
        {"arguments and event",
         "printf '%s\\n' \"$#\" \"$1\" \"$HARBRILL_EVENT_CLASS\" \"$HARBRILL_EVENT_ID\" "
         "\"$HARBRILL_EVENT_TARGET\"",
         {"1", "finderSelection", "ascr", "psbr", "com.mirelda.Harbrill"}},
        {"empty lines are no items", "printf '\\n/a b\\n\\n/c\\n'", {"/a b", "/c"}},
        {"no output", "exit 0", {}},
        {"text without final newline, not UTF-8 ascii", "printf '/caf\\303\\251'", {QString::fromUtf8("/café")}},
        {"standard input is empty", "if read line; then echo read; else echo eof; fi", {"eof"}},
        {"NUL-terminated entries keep new lines, quotes and dashes",
         "printf '/a\\nb\\000/-x \\047q\\047\\000\\000'",
         {"/a\nb", "/-x 'q'"}},
        {"a NUL-terminated entry that is not UTF-8 is left out", "printf '/caf\\351\\000/ok\\000'", {"/ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto answer = run(writeScript("script", c.body));
        ASSERT_FALSE(answer->error) << answer->error->localizedDescription().toStdString();
        ASSERT_TRUE(answer->lines);
        EXPECT_EQ(*answer->lines, c.lines);
        EXPECT_FALSE(answer->onMainThread);
        QFile::remove(scriptsFolder().appendingPathComponent("script").path());
    }
}

TEST_F(UserScriptTaskTest, FailuresAreErrorsNotAnswers)
{
    struct Case {
        const char* name;
        QByteArray body;
        int code;
    };
    const Case cases[] = {
        {"non-zero exit", "echo /half; exit 3", hb::UserScriptTaskExitedWithStatus},
        {"signal", "echo /half; kill -9 $$", hb::UserScriptTaskKilledBySignal},
        {"not UTF-8", "printf '/a\\377\\376\\n'", hb::UserScriptTaskOutputNotText},
        {"NUL byte", "printf '/a\\000b\\n'", hb::UserScriptTaskOutputNotText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto answer = run(writeScript("script", c.body));
        EXPECT_FALSE(answer->lines);
        ASSERT_TRUE(answer->error);
        EXPECT_EQ(answer->error->domain, hb::UserScriptTaskErrorDomain);
        EXPECT_EQ(answer->error->code, c.code);
        QFile::remove(scriptsFolder().appendingPathComponent("script").path());
    }
}

// Right after the person called the program up, the script is told the window they came from, once,
// and the program's window waits while the script runs; the program's own folder leads its PATH.
TEST_F(UserScriptTaskTest, TheScriptIsToldTheFrontWindowOnceAndHoldsItWhileItRuns)
{
    const hb::URL script = writeScript(
        "script",
        "printf '%s\\n' \"window=$HARBRILL_FRONT_WINDOW\" \"pid=$HARBRILL_FRONT_PID\" \"${PATH%%:*}\"; sleep 0.3");
    hb::FrontWindows::shared().note(hb::FrontWindow{31, 4, false});
    auto task = hb::UserScriptTask::create(script);
    ASSERT_TRUE(task);
    std::atomic<bool> done = false;
    std::optional<QStringList> lines;
    task->execute(kEvent, [&](const auto& answer, const auto&) {
        lines = answer;
        done = true;
    });
    EXPECT_TRUE(hb::FrontWindows::shared().isHeld());
    ASSERT_TRUE(waitUntil([&] { return done.load(); }, 5000));
    EXPECT_TRUE(waitUntil([] { return !hb::FrontWindows::shared().isHeld(); }, 1000));
    ASSERT_TRUE(lines);
    EXPECT_EQ(*lines, (QStringList{"window=31", "pid=4", QCoreApplication::applicationDirPath()}));

    // The next run is not about that window any more.
    const auto again = run(script);
    ASSERT_TRUE(again->lines);
    EXPECT_EQ(again->lines->value(0), "window=");
}

// Whatever the script started in the background ends with it: timed out, answered or failed.
TEST_F(UserScriptTaskTest, EveryRunEndsWhatTheScriptStarted)
{
    struct Case {
        const char* name;
        const char* tail;
        std::chrono::milliseconds timeout;
        std::optional<int> error;
    };
    const Case cases[] = {
        {"timed out", "wait", 300ms, hb::UserScriptTaskTimedOut},
        {"answered", "echo /answer", 5s, std::nullopt},
        {"failed", "exit 3", 5s, hb::UserScriptTaskExitedWithStatus},
    };
    for (const Case& c : cases) {
        const QString pidFile = env.root() + "/child.pid";
        QFile::remove(pidFile);
        const hb::URL script = writeScript(
            "script", QStringLiteral("sleep 60 & echo $! > '%1'; %2").arg(pidFile, c.tail).toUtf8());
        QElapsedTimer clock;
        clock.start();
        const auto answer = run(script, c.timeout);
        EXPECT_LT(clock.elapsed(), 5000) << c.name;
        EXPECT_EQ(answer->error ? std::optional(answer->error->code) : std::nullopt, c.error) << c.name;

        QFile file(pidFile);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name;
        const pid_t child = file.readAll().trimmed().toInt();
        ASSERT_GT(child, 0) << c.name;
        // Gone, or at most a zombie waiting for its new parent.
        EXPECT_TRUE(waitUntil([&] {
            QFile status(QStringLiteral("/proc/%1/stat").arg(child));
            return !status.open(QIODevice::ReadOnly) || status.readAll().split(' ').value(2) == "Z";
        })) << c.name;
        ::kill(child, SIGKILL);
    }
}

TEST_F(UserScriptTaskTest, OnlyExecutableFilesInTheScriptsFolderMakeATask)
{
    const QString outside = env.writeFile("elsewhere/script", "#!/bin/sh\n");
    QFile::setPermissions(outside, executable);
    env.makeFolder("data/harbrill/Application Scripts/folder");
    struct Case {
        const char* name;
        hb::URL url;
    };
    const Case cases[] = {
        {"missing", scriptsFolder().appendingPathComponent("missing")},
        {"not executable", writeScript("plain", "echo", QFile::ReadOwner | QFile::WriteOwner)},
        {"a folder", scriptsFolder().appendingPathComponent("folder")},
        {"the scripts folder itself", scriptsFolder()},
        {"outside the scripts folder", hb::URL::fileURLWithPath(outside)},
        {"climbing out", hb::URL::fileURLWithPath(scriptsFolder().path() + "/../../../elsewhere/script")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hb::Error error;
        EXPECT_FALSE(hb::UserScriptTask::create(c.url, &error));
        EXPECT_EQ(error.domain, hb::NSCocoaErrorDomain);
    }
    EXPECT_TRUE(hb::UserScriptTask::create(writeScript("good", "echo")));
}

TEST_F(UserScriptTaskTest, WritesANewExecutableScriptButNeverOverwrites)
{
    const hb::URL destination = scriptsFolder().appendingPathComponent("new.scpt");
    hb::Error error;
    EXPECT_FALSE(hb::UserScriptTask::writeScriptFile("#!/bin/sh\n", destination, &error))
        << "the scripts folder is only readable without a grant";
    EXPECT_FALSE(QFile::exists(destination.path()));

    env.grant(scriptsFolder().path());
    const mode_t savedMask = ::umask(077);
    const bool written = hb::UserScriptTask::writeScriptFile("#!/bin/sh\necho /x\n", destination, &error);
    ::umask(savedMask);
    ASSERT_TRUE(written);
    struct stat status {};
    ASSERT_EQ(::stat(destination.path().toUtf8().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
    EXPECT_EQ(*run(destination)->lines, QStringList{"/x"});

    EXPECT_FALSE(hb::UserScriptTask::writeScriptFile("other", destination, &error));
    EXPECT_EQ(error.code, hb::NSFileWriteFileExistsError);
    QFile file(destination.path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "#!/bin/sh\necho /x\n");
}

}  // namespace
