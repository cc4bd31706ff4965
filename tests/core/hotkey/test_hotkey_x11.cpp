#include "HotKeyFixture.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <X11/Xlib.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Flag = hb::ModifierFlag;

// A private X server (Xvfb on a display number it picks itself) with the X11 registrar installed.
class XvfbTest : public HotKeyFixture {
protected:
    void SetUp() override
    {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        if (xvfb.isEmpty() || QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh)";
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const std::string fd = std::to_string(fds[1]);
        const QByteArray program = QFile::encodeName(xvfb);
        const char* argv[] = {program.constData(), "-displayfd", fd.c_str(), "-nolisten", "tcp",
                              "-screen", "0", "320x240x24", nullptr};
        const int spawned = ::posix_spawn(&m_server, program.constData(), &actions, nullptr,
                                          const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        ASSERT_EQ(spawned, 0);
        QByteArray number;
        pollfd entry{fds[0], POLLIN, 0};
        char c;
        while (::poll(&entry, 1, 15000) > 0 && ::read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        ::close(fds[0]);
        ASSERT_FALSE(number.isEmpty()) << "Xvfb did not start";
        m_savedDisplay = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":" + number);
        hb::HotKeys::setBackend(nullptr);
    }

    void TearDown() override
    {
        center.unregisterAllHotKeys();
        // Closes the registrar's connection before its server goes.
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
        if (m_server > 0) {
            ::kill(m_server, SIGTERM);
            ::waitpid(m_server, nullptr, 0);
        }
        if (m_savedDisplay.isNull())
            qunsetenv("DISPLAY");
        else
            qputenv("DISPLAY", m_savedDisplay);
    }

    static void xdotool(const QStringList& arguments)
    {
        ASSERT_EQ(QProcess::execute("xdotool", arguments), 0) << arguments.join(' ').toStdString();
    }

    // Runs the event loop for a while, so anything that would fire has fired.
    static void settle(int ms) { waitUntil([] { return false; }, ms); }

    pid_t m_server = -1;
    QByteArray m_savedDisplay;
};

TEST_F(XvfbTest, FiresOnceWhenTheHeldKeyIsReleased)
{
    manager.registerHotKeyWithKeyCode(18, Flag::Command);
    ASSERT_NE(manager.hotKey(), nullptr);

    xdotool({"keydown", "super+1"});
    settle(1200);  // longer than the auto-repeat delay
    EXPECT_EQ(fired, 0);
    xdotool({"keyup", "1"});
    xdotool({"keyup", "super"});
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    settle(300);
    EXPECT_EQ(fired, 1);

    // Num Lock on does not hide the combination.
    xdotool({"key", "Num_Lock"});
    xdotool({"key", "super+1"});
    EXPECT_TRUE(waitUntil([&] { return fired == 2; }));
    xdotool({"key", "Num_Lock"});
    xdotool({"key", "1"});
    xdotool({"key", "alt+1"});
    settle(300);
    EXPECT_EQ(fired, 2);
}

TEST_F(XvfbTest, NewCombinationReplacesTheOldAtOnce)
{
    manager.registerHotKeyWithKeyCode(18, Flag::Command);
    manager.registerHotKeyWithKeyCode(122, Flag::Control | Flag::Shift);
    ASSERT_NE(manager.hotKey(), nullptr);
    xdotool({"key", "super+1"});
    settle(300);
    EXPECT_EQ(fired, 0);
    xdotool({"key", "ctrl+shift+F1"});
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    EXPECT_EQ(manager.getHotKeyAsString(), "⇧⌃F1");
}

TEST_F(XvfbTest, CombinationHeldByAnotherClientIsRefused)
{
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XGrabKey(other, 2 + 8, Mod4Mask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
    XSync(other, False);

    manager.registerHotKeyWithKeyCode(18, Flag::Command);
    EXPECT_EQ(manager.hotKey(), nullptr);
    EXPECT_TRUE(center.registeredHotKeys().isEmpty());

    // The registrar stays usable for a free combination.
    manager.registerHotKeyWithKeyCode(19, Flag::Command);
    ASSERT_NE(manager.hotKey(), nullptr);
    xdotool({"key", "super+2"});
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    XCloseDisplay(other);
}

TEST_F(XvfbTest, KeyNamesComeFromTheServersLayout)
{
    EXPECT_EQ(manager.getStringFrom(18, Flag::Command), "⌘1");
    EXPECT_EQ(manager.getStringFrom(0, Flag::Option), "⌥A");
    EXPECT_EQ(manager.getStringFrom(41, 0), ";");
}
