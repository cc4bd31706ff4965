#include "platform/interface/Application.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowController.h"
#include "platform/interface/WindowPlacement.h"

#include "TestEnvironment.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

class RecordingViewController : public hb::ViewController {
public:
    explicit RecordingViewController(QStringList& log) : m_log(log) {}

protected:
    void loadView() override { m_log << "loadView"; }
    void viewDidLoad() override { m_log << "viewDidLoad"; }
    void viewWillAppear() override { m_log << "viewWillAppear"; }
    void viewDidAppear() override { m_log << "viewDidAppear"; }
    void viewWillDisappear() override { m_log << "viewWillDisappear"; }
    void viewDidDisappear() override { m_log << "viewDidDisappear"; }

private:
    QStringList& m_log;
};

class RecordingWindowController : public hb::WindowController {
public:
    explicit RecordingWindowController(QStringList& log) : m_log(log) {}

protected:
    void windowDidLoad() override { m_log << "windowDidLoad"; }
    void windowWillClose() override { m_log << "windowWillClose"; }

private:
    QStringList& m_log;
};

TEST(WindowController, DrivesTheContentsLifeCycleInOrder)
{
    QStringList log;
    RecordingWindowController controller(log);
    controller.setContentViewController(new RecordingViewController(log));
    EXPECT_EQ(log, (QStringList{"loadView", "viewDidLoad"}));
    EXPECT_FALSE(controller.isWindowLoaded());

    log.clear();
    controller.showWindow();
    EXPECT_TRUE(controller.isVisible());
    EXPECT_EQ(log, (QStringList{"windowDidLoad", "viewWillAppear", "viewDidAppear"}));
    QTest::qWait(20);  // a queued appearance must not repeat
    EXPECT_EQ(log.count("viewDidAppear"), 1);

    log.clear();
    controller.orderOut();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_EQ(log, (QStringList{"viewWillDisappear", "viewDidDisappear"}));

    log.clear();
    controller.showWindow();
    controller.close();
    EXPECT_FALSE(controller.isVisible());
    EXPECT_TRUE(controller.isWindowLoaded());
    EXPECT_EQ(log, (QStringList{"viewWillAppear", "viewDidAppear", "windowWillClose", "viewWillDisappear",
                                "viewDidDisappear"}));
}

TEST(WindowController, AWindowMovableByItsBackgroundFollowsADrag)
{
    hb::WindowController controller;
    hb::Window* window = controller.window();
    window->movableByWindowBackground = true;
    window->resize(200, 100);
    controller.showWindow();
    const QPoint start = window->pos();

    QTest::mousePress(window, Qt::LeftButton, {}, QPoint(50, 50));
    QTest::mouseMove(window, QPoint(80, 70));
    QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(80, 70));

    EXPECT_EQ(window->pos() - start, QPoint(30, 20));
}

}  // namespace

namespace {

TEST(WindowController, AWindowPutAwayWhileTheProgramIsHiddenStaysAwayWhenItComesBack)
{
    hb::WindowController progress;
    hb::WindowController main;
    progress.showWindow();
    main.showWindow();
    hb::Application::shared().hide();
    ASSERT_FALSE(progress.isVisible());

    progress.orderOut();
    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(progress.isVisible());
    main.orderOut();
}

}  // namespace

namespace {

TEST(WindowPlacement, BesideTheMainWindowWhereThereIsRoomElseOverItAndCentredWithoutIt)
{
    const QRect screen(0, 0, 1280, 800);
    const QSize size(400, 200);
    const struct {
        const char* where;
        std::optional<QRect> main;
        QPoint origin;
    } cases[] = {
        {"room on the right", QRect(100, 50, 350, 500), {462, 50}},
        {"the main window at the right edge", QRect(900, 30, 350, 500), {488, 30}},
        {"no room on either side", QRect(300, 100, 700, 400), {450, 200}},
        {"low on the screen: raised to fit", QRect(100, 700, 350, 100), {462, 600}},
        {"no main window", std::nullopt, {440, 300}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hb::WindowPlacement::origin(size, c.main, screen), c.origin) << c.where;
    EXPECT_EQ(hb::WindowPlacement::origin(QSize(2000, 900), QRect(0, 0, 10, 10), screen), QPoint(0, 0))
        << "larger than the screen: its top left corner stays on it";
}

// The window opens beside the main window as its dialog, and on the pointer's screen while the main
// window is hidden; coming back with the program it stays where it was.
TEST(WindowPlacement, AWindowShownByItsControllerOpensBesideTheMainWindowAsItsDialog)
{
    hb::Window main;
    main.setGeometry(60, 40, 300, 400);
    hb::Application::shared().setMainWindow(&main);
    hb::WindowController secondary;
    secondary.window()->opensBesideMainWindow = true;
    secondary.window()->setFixedSize(200, 120);

    main.show();
    secondary.showWindow();
    hb::Window* shown = secondary.window();
    EXPECT_EQ(shown->windowType(), Qt::Dialog);
    EXPECT_EQ(shown->frameGeometry().topLeft(), QPoint(main.frameGeometry().right() + 13, main.frameGeometry().top()));
    ASSERT_TRUE(shown->windowHandle());
    EXPECT_EQ(shown->windowHandle()->transientParent(), main.windowHandle());

    secondary.orderOut();
    main.hide();
    secondary.showWindow();
    const QRect pointerScreen = QGuiApplication::screenAt(QCursor::pos())
                                    ? QGuiApplication::screenAt(QCursor::pos())->availableGeometry()
                                    : QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_EQ(shown->frameGeometry().center(), pointerScreen.center());
    EXPECT_EQ(shown->windowHandle()->transientParent(), nullptr);

    shown->move(5, 5);
    hb::Application::shared().hide();
    hb::Application::shared().activateIgnoringOtherApps(true);
    EXPECT_EQ(shown->frameGeometry().topLeft(), QPoint(5, 5));
    secondary.orderOut();
    hb::Application::shared().setMainWindow(nullptr);
}

}  // namespace
