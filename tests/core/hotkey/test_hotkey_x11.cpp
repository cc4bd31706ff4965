#include "HotKeyFixture.h"

#include "PrivateXServer.h"
#include "platform/desktop/HotKeyX11.h"

#include <QProcess>
#include <QStandardPaths>

#include <X11/Xlib.h>

namespace Flag = hb::ModifierFlag;

// A private X server (Xvfb on a display number it picks itself) with the X11 registrar installed.
class XvfbTest : public HotKeyFixture {
protected:
    void SetUp() override
    {
        if (!PrivateXServer::isInstalled() || QStandardPaths::findExecutable("xdotool").isEmpty())
            GTEST_SKIP() << "Xvfb and xdotool are needed (scripts/install-deps.sh)";
        QByteArray why;
        ASSERT_TRUE(m_server.start(&why)) << why.toStdString();
        hb::HotKeys::setBackend(hb::makeX11HotKeyBackend());  // also when the tests run inside a Wayland session
    }

    void TearDown() override
    {
        center.unregisterAllHotKeys();
        // Closes the registrar's connection before its server goes.
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
    }

    static void xdotool(const QStringList& arguments)
    {
        ASSERT_EQ(QProcess::execute("xdotool", arguments), 0) << arguments.join(' ').toStdString();
    }

    // Runs the event loop for a while, so anything that would fire has fired.
    static void settle(int ms)
    {
        waitUntil([] { return false; }, ms);
    }

    PrivateXServer m_server;
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
    EXPECT_EQ(manager.getHotKeyAsString(), "Shift+Ctrl+F1");
}

TEST_F(XvfbTest, CombinationHeldByAnotherClientIsRefused)
{
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XGrabKey(other, 2 + 8, Mod4Mask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
    XSync(other, False);

    const std::optional<hb::Error> refusal = manager.registerHotKeyWithKeyCode(18, Flag::Command);
    EXPECT_EQ(manager.hotKey(), nullptr);
    EXPECT_TRUE(center.registeredHotKeys().isEmpty());
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(HBHotKeyState::refused(18, Flag::Command, *refusal).kind, HBHotKeyState::Kind::taken);

    // The registrar stays usable for a free combination.
    manager.registerHotKeyWithKeyCode(19, Flag::Command);
    ASSERT_NE(manager.hotKey(), nullptr);
    xdotool({"key", "super+2"});
    EXPECT_TRUE(waitUntil([&] { return fired == 1; }));
    XCloseDisplay(other);
}

TEST_F(XvfbTest, AGrabTakenWhileRecordingIsReportedAsTaken)
{
    manager.registerHotKeyWithKeyCode(18, Flag::Command);
    ASSERT_EQ(manager.state().kind, HBHotKeyState::Kind::inForce);
    hb::HotKeys::setGrabsSuspended(true);
    Display* other = XOpenDisplay(nullptr);
    ASSERT_NE(other, nullptr);
    XGrabKey(other, 2 + 8, Mod4Mask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);  // Super+1
    XSync(other, False);

    hb::HotKeys::setGrabsSuspended(false);
    EXPECT_EQ(manager.state().kind, HBHotKeyState::Kind::taken);
    EXPECT_EQ(manager.hotKey(), nullptr);
    EXPECT_TRUE(center.registeredHotKeys().isEmpty());
    XCloseDisplay(other);
}

TEST_F(XvfbTest, KeyNamesComeFromTheServersLayout)
{
    EXPECT_EQ(manager.getStringFrom(18, Flag::Command), "Super+1");
    EXPECT_EQ(manager.getStringFrom(0, Flag::Option), "Alt+A");
    EXPECT_EQ(manager.getStringFrom(41, 0), ";");
}
