#include "platform/vendor/DMFeedbackController.h"
#include "platform/vendor/DM_SUUpdater.h"
#include "platform/vendor/DevMateKit.h"
#include "platform/vendor/LaunchRecord.h"
#include "platform/vendor/Mailto.h"

#include "platform/base/MainQueue.h"
#include "platform/interface/Alert.h"
#include "platform/interface/StoryboardRegistry.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/Workspace.h"

#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QUrlQuery>
#include <QVBoxLayout>

namespace {

QString decoded(const QUrl& mail, const QString& item)
{
    return QUrlQuery(mail).queryItemValue(item, QUrl::FullyDecoded);
}

TEST(Mailto, SubjectAndBodyArriveAsWrittenWhateverTheyHold)
{
    const struct {
        QString subject;
        QString body;
        QString bodyArriving;
    } cases[] = {
        {"plain words", "one line", "one line"},
        {"a & b = c", "x=1&y=2#top", "x=1&y=2#top"},
        {"1 + 1", "50% off?", "50% off?"},
        {"Grüße", "first\nsecond\r\nthird", "first\r\nsecond\r\nthird"},
    };
    for (const auto& mail : cases) {
        const QUrl url = hb::Mailto::compose("support@mirelda.com", mail.subject, mail.body);
        ASSERT_TRUE(url.isValid()) << mail.subject.toStdString();
        EXPECT_EQ(url.scheme(), "mailto");
        EXPECT_EQ(url.path(), "support@mirelda.com");
        EXPECT_EQ(decoded(url, "subject"), mail.subject);
        EXPECT_EQ(decoded(url, "body"), mail.bodyArriving);
        EXPECT_EQ(QUrlQuery(url).queryItems().size(), 2) << url.toEncoded().toStdString();
    }
}

TEST_F(HarbrillTest, LaunchesAreCountedLocallyAndAnUnreadableRecordStartsAnew)
{
    QDir().mkpath(QFileInfo(hb::LaunchRecord::path()).path());
    QFile garbage(hb::LaunchRecord::path());
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write("{not json") > 0);
    garbage.close();

    EXPECT_FALSE(DevMateKit::sendTrackingReport());
    EXPECT_FALSE(DevMateKit::sendTrackingReport());
    const hb::LaunchRecord record = hb::LaunchRecord::load();
    EXPECT_EQ(record.launchCount, 2);
    EXPECT_EQ(record.version, "1.0.0 (1)");
    EXPECT_TRUE(record.firstLaunch.isValid());
    EXPECT_LE(record.firstLaunch, record.lastLaunch);
}

TEST(Updater, APackagedBuildWithoutAFeedHasNoUpdater)
{
    EXPECT_EQ(DM_SUUpdater::sharedUpdater(), nullptr);
}

class UpdaterTest : public HarbrillTest {
protected:
    void TearDown() override
    {
        hb::Alert::setPresenter(nullptr);
        hb::Workspace::setOpener(nullptr);
    }
    QUrl feedOf(const QString& version)
    {
        const QString appcast
            = QStringLiteral("<?xml version=\"1.0\"?><rss version=\"2.0\" "
                             "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
                             "<channel><item><enclosure url=\"https://mirelda.com/harbrill/old.tar.gz\" "
                             "sparkle:version=\"0.9\"/></item>"
                             "<item><enclosure url=\"https://mirelda.com/harbrill/new.tar.gz\" sparkle:version=\"%1\" "
                             "sparkle:shortVersionString=\"2.1\"/></item></channel></rss>")
                  .arg(version);
        return QUrl::fromLocalFile(env.writeFile("appcast.xml", appcast.toUtf8()));
    }
};

TEST_F(UpdaterTest, ChecksAnswerFromTheFeedAndOnlyAskedChecksTellOfNothingNew)
{
    const struct {
        const char* feedVersion;  // none: the feed cannot be read
        bool asked;
        QString message;  // empty: no alert
    } cases[] = {
        {"45", true, "A new version of Harbrill is available!"},
        {"45", false, "A new version of Harbrill is available!"},
        {"1", true, "You're up to date!"},
        {"1", false, ""},
        {nullptr, true, "Update check failed"},
        {nullptr, false, ""},
    };
    for (const auto& check : cases) {
        SCOPED_TRACE(std::string(check.feedVersion ? check.feedVersion : "unreadable")
                     + (check.asked ? " asked" : " background"));
        QStringList shown;
        hb::Alert::setPresenter([&](const hb::Alert& alert) {
            shown << alert.messageText;
            return int(hb::NSAlertFirstButtonReturn);
        });
        QList<QUrl> opened;
        hb::Workspace::setOpener([&](const QUrl& url) { return opened << url, true; });

        DM_SUUpdater updater(check.feedVersion ? feedOf(check.feedVersion)
                                               : QUrl::fromLocalFile(env.root() + "/none.xml"));
        QSignalSpy finished(&updater, &DM_SUUpdater::checkFinished);
        if (check.asked)
            updater.checkForUpdates(nullptr);
        else
            updater.checkForUpdatesInBackground();
        ASSERT_TRUE(finished.wait(10000));
        EXPECT_EQ(shown, check.message.isEmpty() ? QStringList() : QStringList{check.message});
        // "Download" opens the newest version's page.
        const bool newer = check.message.startsWith("A new version");
        EXPECT_EQ(opened, newer ? QList<QUrl>{QUrl("https://mirelda.com/harbrill/new.tar.gz")} : QList<QUrl>());
    }
}

// A form as the feedback layout has it.
class FeedbackForm : public hb::ViewController {
public:
    FeedbackForm(bool withSendButton = true)
    {
        auto* layout = new QVBoxLayout(this);
        for (const char* name : {"nameField", "emailField"}) {
            auto* field = new QLineEdit(this);
            field->setObjectName(name);
            layout->addWidget(field);
        }
        auto* message = new QPlainTextEdit(this);
        message->setObjectName("messageView");
        layout->addWidget(message);
        if (withSendButton) {
            auto* send = new QPushButton("Send", this);
            send->setObjectName("sendButton");
            layout->addWidget(send);
        }
    }
};

class FeedbackControllerTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::StoryboardRegistry::registerScene("TestFeedback", "TestFeedback",
                                              [] { return std::make_unique<FeedbackForm>(); });
        hb::StoryboardRegistry::registerScene("NoSend", "NoSend", [] { return std::make_unique<FeedbackForm>(false); });
    }
    void TearDown() override
    {
        hb::StoryboardRegistry::unregisterScene("TestFeedback", "TestFeedback");
        hb::StoryboardRegistry::unregisterScene("NoSend", "NoSend");
        hb::Alert::setPresenter(nullptr);
        hb::Workspace::setOpener(nullptr);
    }
    // Runs the window; `whileShown` acts in it from inside the modal run.
    std::optional<bool> run(DMFeedbackController& controller, std::function<void()> whileShown)
    {
        hb::MainQueue::async(std::move(whileShown));
        std::optional<bool> sent;
        controller.showFeedbackWindowInMode(DMFeedbackDefaultMode, [&](bool result) { sent = result; });
        return sent;
    }
    template <class T>
    T* child(DMFeedbackController& controller, const char* name)
    {
        return controller.window()->findChild<T*>(name);
    }
};

TEST_F(FeedbackControllerTest, AMissingOrIncompleteLayoutGivesNoController)
{
    EXPECT_FALSE(DMFeedbackController::withWindowNibName("NoSuchLayout"));
    EXPECT_FALSE(DMFeedbackController::withWindowNibName("NoSend"));
}

TEST_F(FeedbackControllerTest, SendMailsTheFormToSupportAndEndsTheRunButKeepsTheFormWhenNoMailProgramOpens)
{
    std::unique_ptr<DMFeedbackController> controller = DMFeedbackController::withWindowNibName("TestFeedback");
    ASSERT_TRUE(controller);
    bool mailOpens = false;
    QList<QUrl> opened;
    hb::Workspace::setOpener([&](const QUrl& url) { return opened << url, mailOpens; });
    QStringList alerts;
    hb::Alert::setPresenter(
        [&](const hb::Alert& alert) { return alerts << alert.messageText, int(hb::NSAlertFirstButtonReturn); });

    const std::optional<bool> sent = run(*controller, [&] {
        child<QLineEdit>(*controller, "nameField")->setText("Ada Lovelace");
        child<QLineEdit>(*controller, "emailField")->setText("ada@example.org");
        child<QPlainTextEdit>(*controller, "messageView")->setPlainText("Tiles & colours = lovely\nThanks");
        child<QPushButton>(*controller, "sendButton")->click();
        // No mail program: the form stays with what was written; the second try goes out.
        EXPECT_TRUE(controller->window()->isVisible());
        EXPECT_EQ(alerts, QStringList{"Harbrill could not open your mail program."});
        mailOpens = true;
        child<QPushButton>(*controller, "sendButton")->click();
    });

    EXPECT_EQ(sent, true);
    EXPECT_FALSE(controller->window()->isVisible());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.last().path(), "support@mirelda.com");
    EXPECT_EQ(decoded(opened.last(), "subject"), "Harbrill feedback");
    EXPECT_EQ(decoded(opened.last(), "body"), "Tiles & colours = lovely\r\nThanks\r\n\r\nName: Ada Lovelace\r\nE-mail: "
                                              "ada@example.org\r\nHarbrill 1.0.0 (1)\r\n");
}

TEST_F(FeedbackControllerTest, ClosingTheWindowEndsTheRunUnsent)
{
    std::unique_ptr<DMFeedbackController> controller = DMFeedbackController::withWindowNibName("TestFeedback");
    ASSERT_TRUE(controller);
    EXPECT_EQ(run(*controller, [&] { controller->window()->close(); }), false);
}

}  // namespace
