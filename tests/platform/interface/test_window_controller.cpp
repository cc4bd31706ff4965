#include "platform/interface/Application.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowController.h"

#include "TestEnvironment.h"

#include <QTest>

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
