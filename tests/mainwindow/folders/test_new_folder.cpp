#include "TestEnvironment.h"

#include "core/store/HBURL.h"
#include "mainwindow/folders/HBNewFolderController.h"
#include "mainwindow/folders/HBNewFolderOpenPanel.h"
#include "mainwindow/folders/HBVolumesPermissionController.h"
#include "platform/files/AccessRegistry.h"
#include "platform/files/Volumes.h"
#include "platform/interface/Alert.h"
#include "platform/interface/OpenPanel.h"
#include "platform/interface/Popover.h"

#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {

// Stands in for the tile: records what the popover tells it.
class RecordingTile : public QObject, public HBNewFolderControllerDelegate {
public:
    QStringList created;
    QList<std::optional<QString>> actions;
    int cancelled = 0;
    void newFolderCreated(const QString& path, const std::optional<QString>& action) override
    {
        created << path;
        actions << action;
    }
    void newFolderCancelled() override { ++cancelled; }
};

class NewFolderTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::Alert::setPresenter([this](const hb::Alert& alert) {
            alerts << alert.messageText + " / " + alert.informativeText;
            return int(hb::NSAlertFirstButtonReturn);
        });
        // "Dest" reachable only through its stored bookmark, as after a grant in an earlier run.
        dest = env.makeFolder("outer/Dest");
        env.grant(dest);
        EXPECT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath(dest, true), false));
        hb::AccessRegistry::resetForTesting();
    }
    void TearDown() override
    {
        hb::Alert::setPresenter(nullptr);
        hb::OpenPanel::setPresenter(nullptr);
    }
    QStringList tree(const QString& root) const
    {
        QStringList items;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            items << QDir(root).relativeFilePath(it.next());
        items.sort();
        return items;
    }
    // Runs the popover's create button with `name` typed, inside a real popover.
    void create(const QString& name, RecordingTile& tile)
    {
        auto controller = std::make_unique<HBNewFolderController>();
        controller->parentFolder = hb::URL::fileURLWithPath(dest, true);
        controller->collectionItem = &tile;
        controller->actionString = QStringLiteral("Move");
        HBNewFolderController* shown = controller.get();
        QPointer<hb::Popover> popover = new hb::Popover(std::move(controller), hb::PopoverBehavior::transient);
        popover->showRelativeToRect(QRect(0, 0, 10, 10), nullptr, hb::RectEdge::maxY);
        shown->nameTextField->setText(name);
        shown->createFolder();
        EXPECT_TRUE(waitUntil([&] { return !popover; })) << "the popover stayed open";
    }

    QString dest;
    QStringList alerts;
};

TEST_F(NewFolderTest, TheStatusLineNamesTheAction)
{
    HBNewFolderController controller;
    controller.actionString = QStringLiteral("Copy");
    controller.show();
    EXPECT_EQ(controller.statusLabel->text(), "Copy selected items to...");
}

// Good names make the folder (nested for "/", an existing one reused), store its bookmark and shift into
// it; hostile ones get the alert and leave the whole tree around the destination as it was.
TEST_F(NewFolderTest, NamesMakeFoldersInsideTheTileFolderOrAreRefusedWithTheAlert)
{
    env.makeFolder("outer/Dest/Existing");
    env.makeFolder("elsewhere");
    QFile::link(env.root() + "/elsewhere", dest + "/way-out");
    const QString longName(256, QLatin1Char('n'));
    struct Case {
        QString name;
        QString made;  // relative to Dest; empty when refused
    };
    const Case cases[] = {
        {"Reports", "Reports"},
        {"2024/March/Week 1", "2024/March/Week 1"},
        {"Existing", "Existing"},
        {"/Leading", "Leading"},
        {QString(255, QLatin1Char('m')), QString(255, QLatin1Char('m'))},
        {"", ""},
        {"   ", "   "},
        {"/", ""},
        {".", ""},
        {"..", ""},
        {"a/../../b", ""},
        {"a/./b", ""},
        {"../Dest2", ""},
        {longName, ""},
        {"new\nline", ""},
        {"way-out/inside", ""},
    };
    const QStringList outside = tree(env.root() + "/outer");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        const QStringList before = tree(env.root());
        alerts.clear();
        RecordingTile tile;
        create(c.name, tile);
        EXPECT_EQ(tile.cancelled, 1) << "the tile leaves create-folder mode whatever happened";
        if (c.made.isEmpty()) {
            EXPECT_TRUE(tile.created.isEmpty());
            ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
            EXPECT_EQ(alerts.value(0),
                      "Subfolder could not be created / Please check the permissions of \"Dest\" and try again");
            EXPECT_EQ(tree(env.root()), before);
            continue;
        }
        const QString made = dest + "/" + c.made;
        EXPECT_TRUE(QFileInfo(made).isDir());
        EXPECT_EQ(tile.created, QStringList{made});
        EXPECT_EQ(tile.actions.value(0), QStringLiteral("Move"));
        EXPECT_TRUE(alerts.isEmpty());
        hb::AccessRegistry::resetForTesting();
        const std::optional<hb::URL> covering = HBURL::shared().bookmarkedURL(hb::URL::fileURLWithPath(made, true));
        ASSERT_TRUE(covering);
        EXPECT_EQ(covering->path(), made) << "the new folder has a bookmark of its own";
    }
    QStringList afterOutside = tree(env.root() + "/outer");
    afterOutside.removeIf([](const QString& item) { return item.startsWith("Dest/"); });
    QStringList beforeOutside = outside;
    beforeOutside.removeIf([](const QString& item) { return item.startsWith("Dest/"); });
    EXPECT_EQ(afterOutside, beforeOutside);
    EXPECT_TRUE(QDir(env.root() + "/elsewhere").isEmpty());
}

TEST_F(NewFolderTest, WithoutABookmarkCoveringTheFolderTheButtonDoesNothing)
{
    const QString bare = env.makeFolder("bare");
    RecordingTile tile;
    HBNewFolderController controller;
    controller.parentFolder = hb::URL::fileURLWithPath(bare, true);
    controller.collectionItem = &tile;
    controller.show();
    controller.nameTextField->setText("New");
    controller.createFolder();
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(QFileInfo::exists(bare + "/New"));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(tile.created.isEmpty());
}

class RecordingPanelDelegate : public HBNewFolderOpenPanelDelegate {
public:
    std::optional<bool> addToGrid;
    QList<hb::URL> urls;
    void openPanelDidEnd(const QList<hb::URL>& chosen, const std::optional<QString>&, bool add) override
    {
        urls = chosen;
        addToGrid = add;
    }
};

TEST_F(NewFolderTest, TheAddToGridBoxIsOfferedWithAnActionAndDecidesWhetherTheFolderIsAdded)
{
    struct Case {
        const char* name;
        std::optional<QString> action;
        bool untick;
        bool boxShown;
        bool addToGrid;
    };
    const Case cases[] = {
        {"move, box left on", QStringLiteral("Move"), false, true, true},
        {"move, box turned off", QStringLiteral("Move"), true, true, false},
        {"no action: always added", std::nullopt, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool boxShown = false;
        hb::OpenPanel::setPresenter([&](const hb::OpenPanel& panel) -> std::optional<QList<hb::URL>> {
            auto* box = qobject_cast<QCheckBox*>(panel.accessoryView.data());
            boxShown = box && box->isChecked() && box->text() == "Add to Grid";
            if (box && c.untick)
                box->setChecked(false);
            return QList<hb::URL>{hb::URL::fileURLWithPath(dest, true)};
        });
        RecordingPanelDelegate delegate;
        HBNewFolderOpenPanel(delegate).presentPanelWithURL(std::nullopt, c.action);
        EXPECT_EQ(boxShown, c.boxShown);
        EXPECT_EQ(delegate.addToGrid, c.addToGrid);
    }
}

// Stands in for the main controller.
class DrivesDelegate : public QObject {
    Q_OBJECT
public:
    int calls = 0;
    Q_INVOKABLE void addRemovableDrives() { ++calls; }
};

TEST_F(NewFolderTest, TheStartUpVolumeGrantCoversEveryFolderWithoutABookmarkOfItsOwn)
{
    const QString plain = env.makeFolder("plain/inside");
    const QString rootName = hb::Volumes::mountedVolumes().value(0).localizedName;
    ASSERT_FALSE(rootName.isEmpty());
    HBVolumesPermissionController controller;
    DrivesDelegate delegate;
    controller.delegate = &delegate;
    controller.show();
    EXPECT_EQ(controller.selectDriveButton->text(), "Select " + rootName);
    EXPECT_EQ(controller.driveURL.value_or(hb::URL()).path(), "/");

    for (const bool confirm : {false, true}) {
        SCOPED_TRACE(confirm ? "confirmed" : "cancelled");
        hb::OpenPanel::setPresenter([&](const hb::OpenPanel& panel) -> std::optional<QList<hb::URL>> {
            EXPECT_EQ(panel.title, "Choose " + rootName);
            EXPECT_EQ(panel.message, "Choose " + rootName + " and start using Harbrill");
            EXPECT_EQ(panel.prompt, "Choose");
            EXPECT_EQ(panel.directoryURL.value_or(hb::URL()).path(), "/");
            EXPECT_FALSE(panel.canCreateDirectories);
            EXPECT_TRUE(panel.shouldEnableURL(hb::URL::fileURLWithPath("/", true)));
            EXPECT_FALSE(panel.shouldEnableURL(hb::URL::fileURLWithPath(plain, true)));
            if (!confirm)
                return std::nullopt;
            return QList<hb::URL>{hb::URL::fileURLWithPath("/", true)};
        });
        controller.selectDriveButton->click();
        EXPECT_EQ(delegate.calls, confirm ? 1 : 0);
        hb::AccessRegistry::resetForTesting();  // a later run
        const std::optional<hb::URL> covering = HBURL::shared().bookmarkedURL(hb::URL::fileURLWithPath(plain, true));
        EXPECT_EQ(covering.has_value(), confirm);
        if (covering) {
            EXPECT_EQ(covering->path(), "/");
        }
    }
}

TEST_F(NewFolderTest, WithoutAStartUpVolumeTheButtonNamesTheDefault)
{
    HBVolumesPermissionController controller;
    controller.show();
    controller.driveName.reset();
    controller.hide();
    controller.show();
    EXPECT_EQ(controller.selectDriveButton->text(), "Select Computer");
}

}  // namespace

#include "test_new_folder.moc"
