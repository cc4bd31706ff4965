#include "platform/interface/Application.h"
#include "platform/interface/DragHold.h"
#include "platform/interface/FrontWindow.h"

#include "TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include <sys/resource.h>

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
    std::function<void()> onWillBecomeActive;
    void applicationWillBecomeActive() override
    {
        calls << "willBecomeActive";
        if (onWillBecomeActive)
            onWillBecomeActive();
    }
    void applicationDidBecomeActive() override { calls << "didBecomeActive"; }
    void applicationWillResignActive() override { calls << "willResignActive"; }
    void applicationWillTerminate() override { calls << "willTerminate"; }
};

// The offscreen platform never loses focus to another program, so the tests report the window
// system's state changes themselves.
void report(Qt::ApplicationState state)
{
    emit qApp->applicationStateChanged(state);
}

// Long enough for a loss of focus to count as resigning.
void settle()
{
    QTest::qWait(hb::Application::resignConfirmationMs * 3);
}

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

// A drag of files from another program begins with a press in that program's window, which takes the
// focus at once: the program resigns only once that press has ended, and not while a drag is over one
// of its windows. Where the buttons cannot be told, a drag is given a moment to arrive.
TEST_F(ApplicationTest, APressHeldElsewhereAndADragOverAWindowHoldResignationBack)
{
    auto buttons = hb::DragHold::Buttons::held;
    hb::DragHold::setButtonsProbe([&] { return buttons; });
    QWindow window;
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.txt"))});
    const auto sendDrag = [&](QEvent::Type type) {
        if (type == QEvent::DragLeave) {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(&window, &leave);
        } else {
            QDragEnterEvent enter(QPoint(4, 4), Qt::CopyAction | Qt::MoveAction, &files, Qt::LeftButton, {});
            QCoreApplication::sendEvent(&window, &enter);
        }
    };
    const auto active = [] { return hb::Application::shared().isActive(); };

    report(Qt::ApplicationActive);
    report(Qt::ApplicationInactive);
    settle();
    EXPECT_TRUE(active()) << "the press may become a drag";
    sendDrag(QEvent::DragEnter);
    EXPECT_TRUE(hb::DragHold::shared().dragInside());
    buttons = hb::DragHold::Buttons::released;
    settle();
    EXPECT_TRUE(active()) << "a drag is over the window";
    sendDrag(QEvent::DragLeave);
    ASSERT_TRUE(waitUntil([&] { return !active(); }, 1000)) << "the drag left and the press ended";

    buttons = hb::DragHold::Buttons::unknown;
    report(Qt::ApplicationActive);
    QElapsedTimer waited;
    waited.start();
    report(Qt::ApplicationInactive);
    ASSERT_TRUE(waitUntil([&] { return !active(); }, 4 * hb::DragHold::unknownButtonsGraceMs));
    EXPECT_GE(waited.elapsed(), hb::DragHold::unknownButtonsGraceMs);
    hb::DragHold::setButtonsProbe(nullptr);
    EXPECT_EQ(delegate.calls.join(' ').toStdString(),
              "willBecomeActive didBecomeActive willResignActive willBecomeActive didBecomeActive willResignActive");
}

// Escape hides the program while its window has the focus; shown again, the window must take the
// keyboard focus back, though the window system never told Qt that it had lost it.
TEST_F(ApplicationTest, AWindowHiddenWhileFocusedTakesTheFocusBackWhenActivated)
{
    QWidget window;
    auto* field = new QLineEdit(&window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window; }));
    field->setFocus();
    hb::Application::shared().hide();
    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_TRUE(waitUntil([&] { return QApplication::activeWindow() == &window && field->hasFocus(); }, 2000));
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

// Coming from another program's window, the delegate hears "will become active" at once, and the
// window waits while that window is being asked for its selection: until the claim on the note is
// dropped, or the hold's limit at most. Without a note, or with a note nobody claims, nothing waits.
TEST_F(ApplicationTest, ComingFromAnotherWindowTheWindowWaitsWhileThatWindowIsAsked)
{
    hb::FrontWindows& front = hb::FrontWindows::shared();
    QWidget window;
    std::shared_ptr<const hb::FrontWindow> claim;
    delegate.onWillBecomeActive = [&] { claim = front.claim(); };

    front.note(hb::FrontWindow{4242, 77, false});
    hb::Application::shared().makeKeyAndOrderFront(&window);
    hb::Application::shared().activateIgnoringOtherApps(true);
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->environment().value("HARBRILL_FRONT_WINDOW"), "4242");
    EXPECT_EQ(claim->environment().value("HARBRILL_FRONT_PID"), "77");
    EXPECT_EQ(delegate.calls, QStringList{"willBecomeActive"});
    QTest::qWait(100);
    EXPECT_FALSE(window.isVisible()) << "the window came forward while the other window was asked";
    claim.reset();
    EXPECT_TRUE(waitUntil([&] { return window.isVisible(); }, 1000));
    // The focus arriving later tells the rest, without a second "will become active".
    report(Qt::ApplicationActive);
    EXPECT_EQ(delegate.calls.join(' ').toStdString(), "willBecomeActive didBecomeActive");
    report(Qt::ApplicationInactive);
    settle();
    window.hide();

    // A claim that is never dropped holds the window back for the limit only.
    delegate.calls.clear();
    front.note(hb::FrontWindow{4242, 77, false});
    QElapsedTimer waited;
    waited.start();
    hb::Application::shared().makeKeyAndOrderFront(&window);
    ASSERT_TRUE(claim);
    EXPECT_TRUE(waitUntil([&] { return window.isVisible(); }, 3000));
    EXPECT_GE(waited.elapsed(), hb::FrontWindows::holdLimit.count() - 50);
    report(Qt::ApplicationActive);
    report(Qt::ApplicationInactive);
    settle();
    window.hide();
    claim.reset();
    QTest::qWait(10);  // a dropped claim is counted on the main thread

    // Nobody asks: the window comes forward at once and the note is gone.
    delegate.onWillBecomeActive = nullptr;
    front.note(hb::FrontWindow{4242, 77, false});
    hb::Application::shared().makeKeyAndOrderFront(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(front.hasNote());
    report(Qt::ApplicationActive);
    report(Qt::ApplicationInactive);
    settle();
    window.hide();

    // No note: at once, and "will become active" when the focus arrives.
    delegate.calls.clear();
    hb::Application::shared().makeKeyAndOrderFront(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(delegate.calls.isEmpty());
    report(Qt::ApplicationActive);
    EXPECT_EQ(delegate.calls.join(' ').toStdString(), "willBecomeActive didBecomeActive");
}

// A note is for the request that follows it: claimed once, and forgotten when it is old.
TEST(FrontWindowsTest, ANoteIsClaimedOnceWhileItIsFresh)
{
    hb::FrontWindows& front = hb::FrontWindows::shared();
    front.note(hb::FrontWindow{0, 0, true});
    const auto claim = front.claim();
    ASSERT_TRUE(claim);
    EXPECT_EQ(claim->environment(), (QMap<QString, QString>{{"HARBRILL_FRONT_WINDOW", "active"}}));
    EXPECT_FALSE(front.claim());
    EXPECT_TRUE(hb::FrontWindow{}.environment().isEmpty());

    front.note(hb::FrontWindow{9, 0, false});
    QTest::qWait(static_cast<int>(hb::FrontWindows::noteLifetime.count()) + 100);
    EXPECT_FALSE(front.hasNote());
    EXPECT_FALSE(front.claim());
}

// A logout or `kill` sends SIGTERM, Control-C SIGINT: each ends the loop through the quit path, as
// Quit does, without asking anything.
TEST_F(ApplicationTest, AQuitSignalTakesTheQuitPath)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        delegate.calls.clear();
        delegate.onLaunch = [signal] { ::raise(signal); };
        EXPECT_EQ(hb::Application::shared().run(), 0) << signal;
        EXPECT_TRUE(delegate.calls.contains("willTerminate")) << signal;
    }
}

// A second signal while the first one's quit is still under way ends the program at once.
TEST_F(ApplicationTest, ASecondQuitSignalEndsTheProgramAtOnce)
{
    QProcess helper;
    helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    helper.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_also_run_disabled_tests", "--gtest_filter=ApplicationHelper.DISABLED_QuitsSlowly"});
    const auto saw = [&](const QByteArray& line) {
        return waitUntil(
            [&] {
                helper.waitForReadyRead(50);
                return helper.peek(1 << 16).contains(line);
            },
            30000);
    };
    ASSERT_TRUE(saw("running"));
    ::kill(pid_t(helper.processId()), SIGTERM);
    ASSERT_TRUE(saw("terminating"));
    ::kill(pid_t(helper.processId()), SIGTERM);
    ASSERT_TRUE(helper.waitForFinished(5000)) << "the second signal did not end it (the quit takes 60 s)";
    EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(helper.exitCode(), 128 + SIGTERM);
}

// Run by the test above in a process of its own: its quit takes a minute.
TEST(ApplicationHelper, DISABLED_QuitsSlowly)
{
    class SlowToQuit : public hb::ApplicationDelegate {
        void applicationDidFinishLaunching() override { std::puts("running"), std::fflush(stdout); }
        void applicationWillTerminate() override
        {
            std::puts("terminating"), std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::seconds(60));
        }
    } delegate;
    hb::Application::shared().setDelegate(&delegate);
    hb::Application::shared().run();
    hb::Application::shared().setDelegate(nullptr);
}

// The usual soft limit of 1,024 open files is too few for a large shift: running raises it to the hard limit.
TEST_F(ApplicationTest, RunningRaisesTheSoftLimitOfOpenFilesToTheHardOne)
{
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    if (saved.rlim_max <= 256)
        GTEST_SKIP() << "the hard limit is too low to lower the soft one beneath it";
    rlimit lowered = saved;
    lowered.rlim_cur = 256;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    rlimit during{};
    delegate.onLaunch = [&] {
        ::getrlimit(RLIMIT_NOFILE, &during);
        hb::Application::shared().terminate();
    };
    EXPECT_EQ(hb::Application::shared().run(), 0);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_EQ(during.rlim_cur, saved.rlim_max);
}

}  // namespace
