#include "TestEnvironment.h"

#include "platform/files/AccessRegistry.h"
#include "platform/interface/OpenPanel.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

namespace {

class OpenPanelTest : public HarbrillTest {
protected:
    void TearDown() override { hb::OpenPanel::setPresenter(nullptr); }
};

TEST_F(OpenPanelTest, ChosenItemsGetStandingAccessAndRefusedAnswersCountAsCancel)
{
    const QString folderA = env.makeFolder("a");
    const QString folderB = env.makeFolder("b");
    const QString file = env.writeFile("c.txt", "c");
    auto urls = [](std::initializer_list<QString> paths) {
        QList<hb::URL> list;
        for (const QString& path : paths)
            list << hb::URL::fileURLWithPath(path);
        return list;
    };
    struct Case {
        const char* name;
        bool files;
        bool multiple;
        std::optional<QList<hb::URL>> answer;
        bool accepted;
    };
    const Case cases[] = {
        {"one folder", false, false, urls({folderA}), true},
        {"two folders", false, true, urls({folderA, folderB}), true},
        {"a file and a folder", true, true, urls({file, folderA}), true},
        {"cancel", false, false, std::nullopt, false},
        {"a file where only folders may be chosen", false, false, urls({file}), false},
        {"two where one may be chosen", false, false, urls({folderA, folderB}), false},
        {"refused by the enable filter", false, false, urls({folderB}), false},
        {"missing item", false, false, urls({env.root() + "/missing"}), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        hb::AccessRegistry::resetForTesting();
        hb::OpenPanel::setPresenter([&](const hb::OpenPanel&) { return c.answer; });
        hb::OpenPanel panel;
        panel.canChooseDirectories = true;
        panel.canChooseFiles = c.files;
        panel.allowsMultipleSelection = c.multiple;
        panel.shouldEnableURL = [&](const hb::URL& url) { return c.multiple || url.lastPathComponent() != "b"; };
        const int response = panel.runModal();
        EXPECT_EQ(response, c.accepted ? hb::NSModalResponseOK : hb::NSModalResponseCancel);
        EXPECT_EQ(panel.URLs(), c.accepted ? *c.answer : QList<hb::URL>());
        EXPECT_EQ(hb::AccessRegistry::hasAccess(folderA), c.accepted && c.answer->contains(urls({folderA}).first()));
    }
}

// The real dialog: opens at the given folder with the given prompt, and choosing a folder in it
// answers that folder.
TEST_F(OpenPanelTest, RealDialogChoosesAFolder)
{
    const QString parent = env.makeFolder("parent");
    const QString child = env.makeFolder("parent/child");
    hb::OpenPanel panel;
    panel.canChooseDirectories = true;
    panel.canChooseFiles = false;
    panel.directoryURL = hb::URL::fileURLWithPath(parent, true);
    panel.prompt = QStringLiteral("Paste Script");
    panel.message = QStringLiteral("Please choose");

    QString seenDirectory;
    QString seenPrompt;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        // The dialog lists folders in the background; choose only once the child is listed.
        auto* model = dialog->findChild<QFileSystemModel*>();
        if (model && model->rowCount(model->index(parent)) == 0)
            return;
        timer.stop();
        seenDirectory = dialog->directory().absolutePath();
        auto* box = dialog->findChild<QDialogButtonBox*>();
        QPushButton* open = box ? box->button(QDialogButtonBox::Open) : nullptr;
        if (!open) {
            dialog->reject();
            return;
        }
        seenPrompt = open->text();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            dialog->reject();
            return;
        }
        name->setText(QStringLiteral("child"));
        open->click();
    });
    timer.start();
    ASSERT_EQ(panel.runModal(), hb::NSModalResponseOK);
    EXPECT_EQ(seenDirectory, parent);
    EXPECT_EQ(seenPrompt, "Paste Script");
    EXPECT_EQ(panel.URLs(), QList<hb::URL>{hb::URL::fileURLWithPath(child)});
    EXPECT_TRUE(hb::AccessRegistry::hasAccess(child));
}

// The accessory is part of the real dialog while it runs, and comes back to the caller whole, with what
// the user set in it, whether the panel was confirmed or cancelled.
TEST_F(OpenPanelTest, AccessoryViewIsShownInTheDialogAndHandedBack)
{
    const QString folder = env.makeFolder("folder");
    for (const bool confirm : {true, false}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        QCheckBox box(QStringLiteral("Add to Grid"));
        box.setChecked(true);
        hb::OpenPanel panel;
        panel.canChooseDirectories = true;
        panel.canChooseFiles = false;
        panel.directoryURL = hb::URL::fileURLWithPath(folder, true);
        panel.accessoryView = &box;

        bool shownInDialog = false;
        QTimer timer;
        timer.setInterval(20);
        QObject::connect(&timer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            timer.stop();
            shownInDialog = box.window() == dialog && box.isVisible();
            box.click();
            if (confirm)
                static_cast<QDialog*>(dialog)->accept();
            else
                dialog->reject();
        });
        timer.start();
        EXPECT_EQ(panel.runModal(), confirm ? hb::NSModalResponseOK : hb::NSModalResponseCancel);
        EXPECT_TRUE(shownInDialog);
        EXPECT_EQ(box.parent(), nullptr);
        EXPECT_FALSE(box.isChecked());
    }
}

}  // namespace
