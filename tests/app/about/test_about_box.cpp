#include "app/about/AboutScenes.h"
#include "app/about/DevmateIntegrate.h"
#include "app/about/HBAboutBoxController.h"
#include "app/about/HBAboutWindowController.h"
#include "app/about/HBTableRowView.h"
#include "app/about/MenuActionsClass.h"

#include "platform/base/MainQueue.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/Workspace.h"

#include "TestEnvironment.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The program registers its scenes at start-up; so does this test program, before any test runs.
[[maybe_unused]] const bool scenesRegistered = (registerAboutScenes(), true);

std::unique_ptr<HBAboutWindowController> loadAboutBox()
{
    const std::optional<hb::Storyboard> storyboard = hb::Storyboard::storyboardWithName("HBAboutStoryBoard");
    return storyboard ? storyboard->instantiateController<HBAboutWindowController>("AboutBox") : nullptr;
}

QPushButton* button(HBAboutWindowController& about, const char* name)
{
    return about.window()->findChild<QPushButton*>(name);
}

TEST(AboutBox, TheVersionComesFromTheInformationResourceAndMissingKeysLeaveTheLabel)
{
    const struct {
        QVariantMap info;
        QString label;
    } cases[] = {
        {{{"CFBundleShortVersionString", "2.1"}, {"CFBundleVersion", "45"}}, "Version: 2.1 (45)"},
        {{{"CFBundleShortVersionString", 2.1}, {"CFBundleVersion", 45}}, "Version: 2.1 (45)"},
        {{{"CFBundleVersion", "45"}}, "Version"},
        {{{"CFBundleShortVersionString", "2.1"}}, "Version"},
        {{}, "Version"},
    };
    for (const auto& version : cases) {
        std::unique_ptr<HBAboutWindowController> about = loadAboutBox();
        ASSERT_TRUE(about);
        HBAboutBoxController* box = about->aboutBox();
        EXPECT_EQ(box->versionLabel->text(), "Version: 1.0.0 (1)");
        box->versionLabel->setText("Version");
        box->setVersionLabel(version.info);
        EXPECT_EQ(box->versionLabel->text(), version.label);
    }
}

class AboutBoxTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::Workspace::setOpener([this](const QUrl& url) { return opened << url, true; });
        about = loadAboutBox();
        ASSERT_TRUE(about);
        about->showWindow();
    }
    void TearDown() override
    {
        hb::Workspace::setOpener(nullptr);
        DevmateIntegrate::shared().feedbackController.reset();
    }
    std::unique_ptr<HBAboutWindowController> about;
    QList<QUrl> opened;
};

TEST_F(AboutBoxTest, EachLinkOpensItsPageOrTheSupportMail)
{
    const struct {
        const char* button;
        QByteArray url;
    } cases[] = {
        {"websiteButton", "https://mirelda.com/harbrill/"},
        {"moreAppsButton", "https://mirelda.com/apps/"},
        {"termsButton", "https://mirelda.com/harbrill/terms/"},
        {"supportButton", "mailto:support@mirelda.com?subject=I%20have%20a%20query%20about%20Harbrill"},
    };
    for (const auto& link : cases) {
        opened.clear();
        ASSERT_TRUE(button(*about, link.button)) << link.button;
        button(*about, link.button)->click();
        ASSERT_EQ(opened.size(), 1) << link.button;
        EXPECT_EQ(opened.first().toEncoded(), link.url);
    }
}

TEST_F(AboutBoxTest, AWindowOfItsOwnWithOnlyACloseButtonAndNoUpdateRowWithoutAnUpdater)
{
    hb::Window* window = about->window();
    EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(window->palette().color(QPalette::Window), QColor::fromRgbF(0.145f, 0.165f, 0.208f));
    EXPECT_TRUE(button(*about, "feedbackButton"));
    EXPECT_FALSE(button(*about, "updateButton"));
}

TEST_F(AboutBoxTest, DraggingARowMovesTheWindowAndAPressAloneDoesNot)
{
    hb::Window* window = about->window();
    auto* row = window->findChild<HBTableRowView*>();
    ASSERT_TRUE(row);
    const QPoint start = window->pos();
    const QPoint grip = row->mapToGlobal(QPoint(row->width() - 4, row->height() / 2));
    const auto send = [&](QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
        QMouseEvent event(type, row->mapFromGlobal(global), global, Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(row, &event);
    };

    send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grip, Qt::NoButton);
    EXPECT_EQ(window->pos(), start);

    send(QEvent::MouseButtonPress, grip, Qt::LeftButton);
    send(QEvent::MouseMove, grip + QPoint(20, 10), Qt::LeftButton);
    send(QEvent::MouseMove, grip + QPoint(40, 30), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, grip + QPoint(40, 30), Qt::NoButton);
    EXPECT_EQ(window->pos(), start + QPoint(40, 30));
}

// The feedback layout as the vendor's controller needs it; it notes whether the about box was still up
// when it appeared, and closes itself.
class ProbeForm : public hb::ViewController {
public:
    inline static int made = 0;
    inline static QList<bool> aboutVisibleOnAppearing;
    inline static QPointer<QWidget> aboutWindow;

    ProbeForm()
    {
        ++made;
        auto* layout = new QVBoxLayout(this);
        const auto add = [&](QWidget* widget, const char* name) {
            widget->setObjectName(name);
            layout->addWidget(widget);
        };
        add(new QLineEdit(this), "nameField");
        add(new QLineEdit(this), "emailField");
        add(new QPlainTextEdit(this), "messageView");
        add(new QPushButton("Send", this), "sendButton");
    }

protected:
    void viewWillAppear() override
    {
        aboutVisibleOnAppearing << (aboutWindow && aboutWindow->isVisible());
        hb::MainQueue::async([form = QPointer<ProbeForm>(this)] {
            if (form)
                form->window()->close();
        });
    }
};

TEST_F(AboutBoxTest, FeedbackClosesTheAboutBoxFirstAndEachPressMakesANewFeedbackWindow)
{
    hb::StoryboardRegistry::registerScene("FeedbackWindow", "FeedbackWindow",
                                          [] { return std::make_unique<ProbeForm>(); });
    ProbeForm::made = 0;
    ProbeForm::aboutVisibleOnAppearing.clear();
    ProbeForm::aboutWindow = about->window();

    button(*about, "feedbackButton")->click();
    EXPECT_FALSE(about->isVisible());
    about->showWindow();
    button(*about, "feedbackButton")->click();

    hb::StoryboardRegistry::unregisterScene("FeedbackWindow", "FeedbackWindow");
    EXPECT_EQ(ProbeForm::made, 2);
    EXPECT_EQ(ProbeForm::aboutVisibleOnAppearing, (QList<bool>{false, false}));
}

TEST_F(AboutBoxTest, TheMenuOffersFeedbackAndHidesTheUpdateCheckWithoutAnUpdater)
{
    const std::optional<hb::Storyboard> main = hb::Storyboard::storyboardWithName("Main");
    ASSERT_TRUE(main);
    std::unique_ptr<MenuActionsClass> menu = main->instantiateController<MenuActionsClass>("MenuActions");
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->feedbackAction->text(), "Send Feedback…");
    EXPECT_TRUE(menu->feedbackAction->isVisible());
    EXPECT_EQ(menu->updateAction->text(), "Check for Updates…");
    EXPECT_FALSE(menu->updateAction->isVisible());

    hb::StoryboardRegistry::registerScene("FeedbackWindow", "FeedbackWindow",
                                          [] { return std::make_unique<ProbeForm>(); });
    ProbeForm::made = 0;
    menu->feedbackAction->trigger();
    hb::StoryboardRegistry::unregisterScene("FeedbackWindow", "FeedbackWindow");
    EXPECT_EQ(ProbeForm::made, 1);
}

}  // namespace
