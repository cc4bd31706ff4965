#include "platform/interface/Application.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public hb::ApplicationDelegate {
public:
    QStringList calls;
    std::function<void()> onLaunch;
    void applicationDidFinishLaunching() override
    {
        calls << "didFinishLaunching";
        if (onLaunch)
            onLaunch();
    }
    void applicationWillBecomeActive() override { calls << "willBecomeActive"; }
    void applicationDidBecomeActive() override { calls << "didBecomeActive"; }
    void applicationWillResignActive() override { calls << "willResignActive"; }
    void applicationWillTerminate() override { calls << "willTerminate"; }
};

// The offscreen platform never loses focus to another program, so the tests report the window
// system's state changes themselves.
void report(Qt::ApplicationState state) { emit qApp->applicationStateChanged(state); }

// Long enough for a loss of focus to count as resigning.
void settle() { QTest::qWait(hb::Application::resignConfirmationMs * 3); }

class ApplicationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        hb::Application::shared();  // listening before the first report
        for (QWidget* widget : QApplication::topLevelWidgets())
            widget->hide();
        QTest::qWait(50);  // the window system's own focus events first
        report(Qt::ApplicationInactive);
        settle();
        ASSERT_FALSE(hb::Application::shared().isActive());
        hb::Application::shared().setDelegate(&delegate);
    }
    void TearDown() override { hb::Application::shared().setDelegate(nullptr); }

    RecordingDelegate delegate;
};

TEST_F(ApplicationTest, ActivationAndResignationReachTheDelegateInOrder)
{
    report(Qt::ApplicationActive);
    EXPECT_TRUE(hb::Application::shared().isActive());
    report(Qt::ApplicationActive);  // no change, nothing new
    report(Qt::ApplicationInactive);
    EXPECT_TRUE(hb::Application::shared().isActive()) << "resigning waits for the loss of focus to last";
    settle();
    EXPECT_FALSE(hb::Application::shared().isActive());
    EXPECT_EQ(delegate.calls.join(' ').toStdString(), "willBecomeActive didBecomeActive willResignActive");
}

// Focus moving between the program's own windows passes through "inactive" for a moment.
TEST_F(ApplicationTest, AShortLossOfFocusIsNoResignation)
{
    report(Qt::ApplicationActive);
    report(Qt::ApplicationInactive);
    QTest::qWait(hb::Application::resignConfirmationMs / 3);
    report(Qt::ApplicationActive);
    settle();
    EXPECT_TRUE(hb::Application::shared().isActive());
    EXPECT_EQ(delegate.calls.join(' ').toStdString(), "willBecomeActive didBecomeActive");
}

// Hiding an open dialog would end it as if cancelled: the program resigns only once it is closed.
TEST_F(ApplicationTest, AnOpenModalDialogHoldsResignationBack)
{
    QWidget window;
    window.show();
    QDialog dialog(&window);
    dialog.setModal(true);
    dialog.open();
    QTest::qWait(50);  // the window system's own focus events first
    report(Qt::ApplicationActive);
    report(Qt::ApplicationInactive);
    settle();
    EXPECT_TRUE(hb::Application::shared().isActive());
    EXPECT_TRUE(dialog.isVisible());

    dialog.reject();
    ASSERT_TRUE(waitUntil([] { return !hb::Application::shared().isActive(); }, 2000));
    EXPECT_EQ(delegate.calls.last(), "willResignActive");
}

TEST_F(ApplicationTest, HiddenWindowsComeBackOnActivationWithTheLastActiveOneInFront)
{
    QWidget first;
    QWidget second;
    QWidget neverShown;
    first.show();
    second.show();
    first.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &first; }));

    hb::Application::shared().hide();
    EXPECT_FALSE(first.isVisible());
    EXPECT_FALSE(second.isVisible());
    EXPECT_TRUE(hb::Application::shared().isHidden());

    second.activateWindow();  // hidden windows cannot take focus; the key window stays `first`
    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_TRUE(first.isVisible());
    EXPECT_TRUE(second.isVisible());
    EXPECT_FALSE(neverShown.isVisible());
    EXPECT_FALSE(hb::Application::shared().isHidden());
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &first; }));
}

// The X11 tray's embedded icon is a top-level widget the window manager does not manage.
TEST_F(ApplicationTest, UnmanagedWindowsStayAndAMinimisedKeyWindowComesBackUp)
{
    QWidget trayIcon(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint);
    QWidget window;
    trayIcon.show();
    window.show();
    hb::Application::shared().hide();
    EXPECT_TRUE(trayIcon.isVisible());
    EXPECT_FALSE(window.isVisible());

    hb::Application::shared().activateIgnoringOtherApps(true);
    window.showMinimized();
    hb::Application::shared().makeKeyAndOrderFront(&window);
    EXPECT_FALSE(window.isMinimized());
    window.showMinimized();
    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));
}

// A progress window emptied while the program is hidden must not come back empty.
TEST_F(ApplicationTest, WindowsClosedOrPutAwayWhileHiddenStayAway)
{
    QWidget kept;
    QWidget closed;
    QWidget putAway;
    for (QWidget* window : {&kept, &closed, &putAway})
        window->show();
    hb::Application::shared().hide();
    closed.close();
    hb::Application::shared().orderOut(&putAway);

    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_TRUE(kept.isVisible());
    EXPECT_FALSE(closed.isVisible());
    EXPECT_FALSE(putAway.isVisible());
}

TEST_F(ApplicationTest, ClosingTheLastWindowKeepsRunningAndTerminateEndsTheLoopOnce)
{
    QWidget window;
    delegate.onLaunch = [&] {
        window.show();
        QTimer::singleShot(0, &window, &QWidget::close);
        QTimer::singleShot(100, [] {
            hb::Application::shared().terminate();
            hb::Application::shared().terminate();
        });
    };
    EXPECT_EQ(hb::Application::shared().run(), 0);
    // Showing the window may also activate the program; only launching and quitting matter here.
    const QStringList lifeCycle = delegate.calls.filter(QRegularExpression("Launching|Terminate"));
    EXPECT_EQ(lifeCycle.join(' ').toStdString(), "didFinishLaunching willTerminate");
}

}  // namespace
