#include "RecordingUIDelegate.h"
#include "TestEnvironment.h"

#include "core/sources/HBFinderData.h"
#include "core/store/HBConstants.h"
#include "platform/base/Bundle.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/FrontWindow.h"
#include "platform/files/AccessRegistry.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>

#include <sys/stat.h>

namespace {

struct RecordingDelegate : FinderTalk {
    void finderURLs(const std::optional<QList<hb::URL>>& urls) override
    {
        answers.push_back(urls);
        onMainThread = onMainThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
    std::vector<std::optional<QList<hb::URL>>> answers;
    bool onMainThread = true;
};

class FinderDataTest : public HarbrillTest {
protected:
    hb::URL scriptsFolder() { return *hb::UserScriptTask::applicationScriptsDirectory(true); }
    QString scriptPath() { return scriptsFolder().appendingPathComponent(HBFinderData::scriptFileName).path(); }

    void installScript(const QByteArray& body)
    {
        QFile file(scriptPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("#!/bin/sh\n" + body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Asks once and waits for the answer; none when none came.
    std::shared_ptr<RecordingDelegate> ask(int waitMs = 5000)
    {
        auto delegate = std::make_shared<RecordingDelegate>();
        HBFinderData().getSelectedFinderURLsWithDelegate(delegate);
        waitUntil([&] { return !delegate->answers.empty(); }, waitMs);
        waitUntil([] { return false; }, 50);  // a second answer would show up here
        return delegate;
    }

    static QList<hb::URL> urls(const QStringList& paths)
    {
        QList<hb::URL> list;
        for (const QString& path : paths)
            list << hb::URL::fileURLWithPath(path);
        return list;
    }
};

TEST_F(FinderDataTest, ScriptAnswersBecomeFileURLsOnTheMainThread)
{
    struct Case {
        const char* name;
        QByteArray body;
        std::optional<QList<hb::URL>> answer;
    };
    const Case cases[] = {
        {"paths in order", "printf '/b/2\\n/a/1 x\\n'", urls({"/b/2", "/a/1 x"})},
        {"empty list", "exit 0", QList<hb::URL>()},
        {"the handler is asked for by name", "[ \"$1\" = finderSelection ] && [ $# = 1 ] && echo /ok", urls({"/ok"})},
        {"garbage bytes", "printf '\\377\\376garbage\\n'", std::nullopt},
        {"text that is not a path", "echo 'no selection'", std::nullopt},
        {"non-zero exit", "echo /x; exit 1", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        installScript(c.body);
        const auto delegate = ask();
        ASSERT_EQ(delegate->answers.size(), 1u);
        EXPECT_EQ(delegate->answers.front(), c.answer);
        EXPECT_TRUE(delegate->onMainThread);
    }
}

TEST_F(FinderDataTest, HangingScriptAnswersNoneAfterTheTimeLimit)
{
    installScript("exec sleep 60");
    const auto delegate = ask(int(hb::UserScriptTask::defaultTimeout.count()) + 5000);
    ASSERT_EQ(delegate->answers.size(), 1u);
    EXPECT_EQ(delegate->answers.front(), std::nullopt);
}

TEST_F(FinderDataTest, MissingScriptMarksItNotInstalledAndNeverAnswers)
{
    hb::UserDefaults::standard().setBool(scriptInstalledDefaultsKey, true);
    EXPECT_TRUE(HBFinderData().installScript());
    const auto delegate = ask(500);
    EXPECT_TRUE(delegate->answers.empty());
    EXPECT_FALSE(HBFinderData().installScript());
}

TEST_F(FinderDataTest, EventNamesTheProgramTheSubroutineCallAndTheHandler)
{
    const hb::AppleEventDescriptor event = HBFinderData().finderSelectionEventDescriptor();
    EXPECT_EQ(event.target, "com.mirelda.Harbrill");
    EXPECT_EQ(event.eventClass, "ascr");
    EXPECT_EQ(event.eventID, "psbr");
    EXPECT_EQ(event.subroutineName, "finderSelection");
}

TEST_F(FinderDataTest, InstallerAcceptsOnlyTheScriptsFolderAndReplacesAnOldScript)
{
    const QString elsewhere = env.makeFolder("elsewhere");
    std::optional<QList<hb::URL>> choice;
    std::optional<HBOpenPanelRequest> seen;
    RecordingUIDelegate ui;
    ui.answerOpenPanel = [&](const HBOpenPanelRequest& panel) {
        seen = panel;
        // What a person chooses in the panel is theirs to reach for the rest of the run.
        if (choice)
            for (const hb::URL& chosen : *choice)
                hb::AccessRegistry::grantStanding(chosen.path());
        return choice;
    };

    choice = std::nullopt;
    EXPECT_FALSE(HBFinderData().installAutomationScript(ui));
    ASSERT_TRUE(seen);
    EXPECT_TRUE(seen->canChooseDirectories);
    EXPECT_FALSE(seen->canChooseFiles);
    EXPECT_TRUE(seen->showsHiddenFiles);
    EXPECT_EQ(seen->directoryURL, scriptsFolder());
    EXPECT_EQ(seen->prompt, "Paste Script");

    choice = urls({elsewhere});
    EXPECT_FALSE(HBFinderData().installAutomationScript(ui));
    EXPECT_FALSE(QFile::exists(elsewhere + "/" + HBFinderData::scriptFileName));
    EXPECT_FALSE(QFile::exists(scriptPath()));
    EXPECT_FALSE(HBFinderData().installScript());

    installScript("echo /old");
    QFile::setPermissions(scriptPath(), QFile::ReadOwner | QFile::WriteOwner);
    choice = QList<hb::URL>{scriptsFolder()};
    EXPECT_TRUE(HBFinderData().installAutomationScript(ui));
    EXPECT_TRUE(HBFinderData().installScript());
    QFile installed(scriptPath());
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(installed.readAll(), hb::Bundle::resourceData(HBFinderData::scriptFileName).value());
    struct stat status {};
    ASSERT_EQ(::stat(scriptPath().toUtf8().constData(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0755u);
}

// The bundled script hands the request to harbrill-selection (a stand-in here, found on the PATH), which
// answers for the window the person came from with NUL-ended paths: names with new lines and leading
// dashes come through whole.
TEST_F(FinderDataTest, BundledScriptAsksTheSelectionReaderForTheWindowThePersonCameFrom)
{
    const QString tools = env.makeFolder("tools");
    const QString reader = env.writeFile(
        "tools/harbrill-selection",
        "#!/bin/sh\n[ $# -eq 0 ] || exit 9\n"
        "printf '/w/%s\\000' \"$HARBRILL_FRONT_WINDOW\" 'two\nlines' '-dash' \"pid $HARBRILL_FRONT_PID\"\n");
    QFile::setPermissions(reader, QFile::ReadOwner | QFile::ExeOwner);
    QFile::copy(":/" + HBFinderData::scriptFileName, scriptPath());
    QFile::setPermissions(scriptPath(), QFile::ReadOwner | QFile::ExeOwner);
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", tools.toUtf8() + ":" + savedPath);

    hb::FrontWindows::shared().note(hb::FrontWindow{123, 45, false});
    const auto delegate = ask();
    qputenv("PATH", savedPath);
    ASSERT_EQ(delegate->answers.size(), 1u);
    EXPECT_EQ(delegate->answers.front(), urls({"/w/123", "/w/two\nlines", "/w/-dash", "/w/pid 45"}));
}

// An unchanged copy of the script that answered with the clipboard is brought up to date before it
// could run; a script the person changed is theirs and stays.
TEST_F(FinderDataTest, AnUnchangedRetiredScriptIsReplacedAndAChangedOneIsLeftAlone)
{
    QFile retired(QStringLiteral(HB_SOURCE_DIR "/RetiredClipboardScript.scpt"));
    ASSERT_TRUE(retired.open(QIODevice::ReadOnly));
    const QByteArray old = retired.readAll();
    const QByteArray bundled = hb::Bundle::resourceData(HBFinderData::scriptFileName).value();
    const auto contents = [&] {
        QFile file(scriptPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const auto install = [&](const QByteArray& bytes) {
        QFile file(scriptPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    };

    install(old);
    EXPECT_TRUE(HBFinderData().automationScriptTask());
    EXPECT_EQ(contents(), bundled);
    struct stat status {};
    ASSERT_EQ(::stat(scriptPath().toUtf8().constData(), &status), 0);
    EXPECT_TRUE(status.st_mode & S_IXUSR);

    install(old + "# mine\n");
    const QByteArray changed = contents();
    EXPECT_TRUE(HBFinderData().automationScriptTask());
    EXPECT_EQ(contents(), changed);
}

}  // namespace
