#include "TestEnvironment.h"

#include "../platform/files/LoopVolume.h"

#include "core/hotkey/DDHotKeyCenter.h"
#include "core/store/HBConstants.h"
#include "core/store/HBURL.h"
#include "mainwindow/ViewController.h"
#include "mainwindow/grid/HBCollectionView.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/UserDefaults.h"
#include "platform/desktop/HotKey.h"
#include "platform/files/AccessRegistry.h"
#include "platform/interface/Alert.h"
#include "platform/interface/OpenPanel.h"

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>

namespace {

// A controller whose grid shows "work/1" .. "work/4" behind the add tile, all reachable through their
// bookmarks. Alerts and open panels are answered by the test.
class DestinationsTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::HotKeys::setBackend(std::make_unique<hb::RecordingHotKeyBackend>());
        hb::Alert::setPresenter([this](const hb::Alert& alert) {
            alerts << alert.messageText;
            return int(hb::NSAlertFirstButtonReturn);
        });
        controller = std::make_unique<ViewController>();
        controller->show();
        ASSERT_TRUE(controller->collectionView());
    }
    void TearDown() override
    {
        controller.reset();
        hb::Alert::setPresenter(nullptr);
        hb::OpenPanel::setPresenter(nullptr);
        hb::CollectionView::setDragPerformer(nullptr);
        DDHotKeyCenter::sharedHotKeyCenter().unregisterAllHotKeys();
        hb::HotKeys::setBackend(nullptr);
    }

    QString grantedFolder(const QString& relative) const
    {
        const QString path = env.makeFolder(relative);
        env.grant(path);
        HBURL::shared().bookmark(hb::URL::fileURLWithPath(path, true), false);
        return path;
    }
    void addFolders(const QStringList& paths)
    {
        QVariantList urls;
        for (const QString& path : paths)
            urls << QVariant::fromValue(hb::URL::fileURLWithPath(path, true));
        hb::NotificationCenter::defaultCenter().post(addToGridNotification, nullptr,
                                                     {{locationAddedUserInfoKey, urls}});
    }
    // The names of the tiles in order, as held in memory and as stored in the suite.
    QStringList shown() const
    {
        QStringList names;
        for (const HBLocationEntry& entry : controller->destinationCollection().dropLocations())
            names << hb::URL::fileURLWithPath(entry.value(HBLocationEntryKey::path)).lastPathComponent();
        return names;
    }
    static QStringList stored()
    {
        QStringList names;
        for (const QVariant& entry : hb::UserDefaults::suite(locationsSuiteName)->arrayForKey(sharedDataKey))
            names << hb::URL::fileURLWithPath(entry.toMap().value(HBLocationEntryKey::path).toString())
                         .lastPathComponent();
        return names;
    }
    // A folder added goes first behind the add tile: added in reverse, tiles read in order.
    static QStringList newestFirst(QStringList folders)
    {
        std::reverse(folders.begin(), folders.end());
        return folders;
    }
    QStringList paths() const
    {
        QStringList list;
        for (const HBLocationEntry& entry : controller->destinationCollection().dropLocations())
            list << entry.value(HBLocationEntryKey::path);
        return list;
    }
    HBCollectionViewItem* tile(std::int64_t index) const
    {
        return qobject_cast<HBCollectionViewItem*>(controller->collectionView()->itemAtIndex(index));
    }
    bool isGap(std::int64_t index) const { return tile(index) && tile(index)->pathName->isHidden(); }

    std::unique_ptr<ViewController> controller;
    QStringList alerts;
};

// A drag of tiles, scripted: the pointer passes over the given points of the grid, then drops there
// (or is let go elsewhere). Each step records the gap's index after it.
struct DragStep {
    std::int64_t tile;
    enum Spot { centre, leftEdge, pastTheEnd } spot = centre;
};

class DragScript {
public:
    DragScript(std::vector<DragStep> steps, bool drop) : m_steps(std::move(steps)), m_drop(drop)
    {
        hb::CollectionView::setDragPerformer(
            [this](hb::CollectionView& grid, const hb::DraggingPasteboard& pasteboard, std::uint64_t allowed) {
                hb::CollectionView::DragOutcome outcome;
                std::uint64_t last = hb::NSDragOperationNone;
                for (const DragStep& step : m_steps) {
                    hb::DraggingInfo info(pasteboard, allowed, point(grid, step), true);
                    last = grid.draggingUpdated(info);
                    validated.push_back(last);
                }
                if (m_drop && last != hb::NSDragOperationNone) {
                    hb::DraggingInfo info(pasteboard, allowed, point(grid, m_steps.back()), true);
                    if (grid.performDragOperation(info))
                        outcome.operation = last;
                }
                return outcome;
            });
    }
    std::vector<std::uint64_t> validated;

private:
    static QPointF point(const hb::CollectionView& grid, const DragStep& step)
    {
        if (step.spot == DragStep::pastTheEnd)
            return QPointF(grid.width() - 2, grid.height() - 2);
        const QRect frame = grid.frameForItemAtIndex(step.tile);
        return step.spot == DragStep::leftEdge ? QPointF(frame.left() + 2, frame.center().y())
                                               : QPointF(frame.center());
    }
    std::vector<DragStep> m_steps;
    bool m_drop;
};

void dragTile(HBCollectionViewItem* tile)
{
    ASSERT_TRUE(tile);
    const auto send = [tile](QEvent::Type type, QPoint at, Qt::MouseButton button) {
        QMouseEvent event(type, QPointF(at), QPointF(tile->mapToGlobal(at)), button, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(tile, &event);
    };
    send(QEvent::MouseButtonPress, QPoint(50, 50), Qt::LeftButton);
    for (int step = 1; step <= 6; ++step)
        send(QEvent::MouseMove, QPoint(50 + 4 * step, 50), Qt::NoButton);
}

TEST_F(DestinationsTest, ReorderingMovesTheEntryWhileDraggingAndStoresItAtTheDrop)
{
    QStringList folders;
    for (const char* name : {"1", "2", "3", "4"})
        folders << grantedFolder(QStringLiteral("work/") + name);
    struct Case {
        const char* name;
        std::int64_t dragged;
        std::vector<DragStep> steps;
        bool drop;
        QStringList order;
        std::uint64_t lastAnswer;
    };
    const Case cases[] = {
        {"over tile 1 and dropped", 3, {{1}}, true, {"", "3", "1", "2", "4"}, hb::NSDragOperationMove},
        {"over 1, then 4, dropped", 3, {{1}, {4}}, true, {"", "1", "2", "4", "3"}, hb::NSDragOperationMove},
        {"between tiles: dropped on the tile, nothing moves",
         3,
         {{2, DragStep::leftEdge}},
         true,
         {"", "1", "2", "3", "4"},
         hb::NSDragOperationMove},
        {"onto the first tile: refused", 2, {{0}}, true, {"", "1", "2", "3", "4"}, hb::NSDragOperationNone},
        {"past the last tile: refused",
         2,
         {{0, DragStep::pastTheEnd}},
         true,
         {"", "1", "2", "3", "4"},
         hb::NSDragOperationNone},
        {"over 1, then let go on the first tile: the move made stays",
         3,
         {{1}, {0}},
         true,
         {"", "3", "1", "2", "4"},
         hb::NSDragOperationNone},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        controller->destinationCollection().setDropLocations(
            {controller->destinationCollection().dropLocations().first()});
        addFolders(newestFirst(folders));
        ASSERT_EQ(shown(), (QStringList{"", "1", "2", "3", "4"}));
        ASSERT_TRUE(waitUntil([&] { return controller->collectionView()->numberOfItems() == 5; }));

        DragScript script(c.steps, c.drop);
        dragTile(tile(c.dragged));
        ASSERT_FALSE(script.validated.empty()) << "no drag started";
        EXPECT_EQ(script.validated.back(), c.lastAnswer);
        EXPECT_EQ(shown(), c.order);
        EXPECT_EQ(stored(), c.order) << "the order on screen is the stored one as soon as the drag is over";
        EXPECT_EQ(controller->lastEmptyIndex(), -1);
        for (std::int64_t index = 0; index < 5; ++index)
            EXPECT_FALSE(isGap(index)) << "tile " << index << " still hidden";
        for (std::int64_t index = 1; index < 5; ++index)
            EXPECT_EQ(tile(index)->locationEntry().value(HBLocationEntryKey::path), paths()[index]);
    }
}

TEST_F(DestinationsTest, TheDraggedEntryLeavesAGapWhereItStandsUntilTheDrop)
{
    QStringList folders;
    for (const char* name : {"1", "2", "3", "4"})
        folders << grantedFolder(QStringLiteral("work/") + name);
    addFolders(newestFirst(folders));
    ASSERT_TRUE(waitUntil([&] { return controller->collectionView()->numberOfItems() == 5; }));
    std::vector<std::vector<bool>> gaps;
    hb::CollectionView::setDragPerformer(
        [&](hb::CollectionView& grid, const hb::DraggingPasteboard& pasteboard, std::uint64_t allowed) {
            for (const std::int64_t over : {1, 4, 2}) {
                hb::DraggingInfo info(pasteboard, allowed, grid.frameForItemAtIndex(over).center(), true);
                grid.draggingUpdated(info);
                std::vector<bool> row;
                for (std::int64_t index = 0; index < 5; ++index)
                    row.push_back(isGap(index));
                gaps.push_back(row);
            }
            return hb::CollectionView::DragOutcome{};
        });
    dragTile(tile(3));
    const std::vector<std::vector<bool>> expected = {
        {false, true, false, false, false},
        {false, false, false, false, true},
        {false, false, true, false, false},
    };
    EXPECT_EQ(gaps, expected);
    EXPECT_EQ(shown(), (QStringList{"", "1", "3", "2", "4"}));
    EXPECT_FALSE(isGap(2)) << "a drag let go elsewhere shows the gap tile again";
}

TEST_F(DestinationsTest, TheOpenPanelAddsNewFoldersAndNamesThePresentOnesAfterwards)
{
    const QString a = grantedFolder("work/A");
    const QString b = grantedFolder("work/B");
    const QString c = grantedFolder("work/C");
    addFolders({b});
    QString message;
    hb::OpenPanel::setPresenter([&](const hb::OpenPanel& panel) -> std::optional<QList<hb::URL>> {
        message = panel.message;
        EXPECT_TRUE(panel.allowsMultipleSelection);
        EXPECT_TRUE(panel.canCreateDirectories);
        EXPECT_FALSE(panel.canChooseFiles);
        return QList<hb::URL>{hb::URL::fileURLWithPath(a, true), hb::URL::fileURLWithPath(b, true),
                              hb::URL::fileURLWithPath(c, true)};
    });
    controller->addToLocationTest();
    EXPECT_EQ(message, "Choose a folder to add it for quick access");
    EXPECT_TRUE(alerts.isEmpty()) << "the already-present alert waits until the loop is done";
    EXPECT_EQ(shown(), (QStringList{"", "C", "A", "B"})) << "each new folder goes first";
    EXPECT_EQ(stored(), shown());
    ASSERT_TRUE(waitUntil([&] { return !alerts.isEmpty(); }));
    EXPECT_EQ(alerts, QStringList{"\"B \" already present in Harbrill"});
}

TEST_F(DestinationsTest, FilesDroppedOnTheWindowOrTheDropBarBecomeTheSource)
{
    const QString work = grantedFolder("work");
    const QString file = env.writeFile("work/report.txt", "r");
    hb::DraggingPasteboard pasteboard;
    pasteboard.writeFileURLs({hb::URL::fileURLWithPath(file)});
    const hb::DraggingInfo info(pasteboard, hb::NSDragOperationCopy, {}, false);

    EXPECT_EQ(controller->draggingEntered(info), hb::NSDragOperationCopy);
    EXPECT_TRUE(controller->performDragOperation(info));
    ASSERT_TRUE(controller->getURLS());
    EXPECT_EQ(controller->getURLS()->value(0).path(), file);
    EXPECT_EQ(controller->collectionView()->currentDragOperation, hb::NSDragOperationCopy);

    controller->cleanUpSourceAndResetState();
    hb::NotificationCenter::defaultCenter().post(fromDragSourceNotification, nullptr,
                                                 {{sourceUserInfoKey, QStringLiteral("not a drag")}});
    EXPECT_FALSE(controller->getURLS());
    hb::NotificationCenter::defaultCenter().post(fromDragSourceNotification, nullptr,
                                                 {{sourceUserInfoKey, QVariant::fromValue(info)}});
    ASSERT_TRUE(controller->getURLS());
    EXPECT_FALSE(controller->isFinderData());
}

TEST_F(DestinationsTest, KeepingTheEarlierSelectionIsTheFirstButton)
{
    for (const int pressed : {int(hb::NSAlertFirstButtonReturn), int(hb::NSAlertSecondButtonReturn)}) {
        hb::Alert shown;
        hb::Alert::setPresenter([&](const hb::Alert& alert) {
            shown = alert;
            return pressed;
        });
        EXPECT_EQ(controller->confirmToHoldData(), pressed == hb::NSAlertFirstButtonReturn);
        EXPECT_EQ(shown.messageText, "Replace previous items?");
        EXPECT_EQ(shown.informativeText,
                  "Replacing will clear the items selected earlier and replace them with the new ones");
        EXPECT_EQ(shown.buttons, (QStringList{"Keep earlier items", "Replace Items"}));
        EXPECT_EQ(shown.alertStyle, hb::AlertStyle::informational);
    }
}

// Drives: a real loop-mounted image. Without access it only shows the hint; with the start-up volume
// granted it appears as a tile by itself while the program runs, once, and goes when it is unmounted.
// Read-only and internal volumes never become tiles.
TEST_F(DestinationsTest, AMountedDriveBecomesATileWhileTheProgramRunsAndGoesWhenUnmounted)
{
    const QString stick = env.root() + "/Stick";
    LoopVolume volume(stick);
    if (!volume.isMounted())
        HB_SKIP_WITHOUT_ROOT_SETUP(volume.reason().toStdString());

    controller->addRemovableDrives();
    EXPECT_FALSE(paths().contains(stick));
    EXPECT_FALSE(controller->thumbdrives()->isHidden()) << "an unreadable drive shows the hint";
    EXPECT_EQ(controller->instructionTextField()->placeholderText(), "Add Desktop, Photos, Documents, etc");

    // The start-up volume granted, as through the volume popover.
    hb::AccessRegistry::grantStanding("/");
    ASSERT_TRUE(HBURL::shared().bookmark(hb::URL::fileURLWithPath("/", true), false));
    hb::AccessRegistry::resetForTesting();
    controller->addRemovableDrives();
    controller->addRemovableDrives();
    EXPECT_EQ(paths().count(stick), 1);
    EXPECT_FALSE(paths().contains("/")) << "the internal start-up volume is never a tile";
    EXPECT_TRUE(controller->thumbdrives()->isHidden());
    EXPECT_EQ(controller->instructionTextField()->placeholderText(), "Add Desktop, Photos, Documents, Projects, etc");
    const qsizetype at = paths().indexOf(stick);
    EXPECT_EQ(controller->destinationCollection().dropLocations().value(at).value(HBLocationEntryKey::icon), "drive");

    // Read-only: never a tile.
    HBLocationList without = controller->destinationCollection().dropLocations();
    without.removeAt(at);
    controller->destinationCollection().setDropLocations(without);
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,ro", stick}), 0);
    controller->addRemovableDrives();
    EXPECT_FALSE(paths().contains(stick)) << "a read-only drive was added";
    ASSERT_EQ(QProcess::execute("mount", {"-o", "remount,rw", stick}), 0);
    ASSERT_TRUE(waitUntil([&] { return paths().contains(stick); }, 5000)) << "the watcher did not add it back";

    volume.unmount();
    ASSERT_TRUE(waitUntil([&] { return !paths().contains(stick); }, 5000)) << "an unmounted drive stays a tile";

    const QString second = env.root() + "/Second";
    {
        LoopVolume plugged(second);
        ASSERT_TRUE(plugged.isMounted()) << plugged.reason().toStdString();
        ASSERT_TRUE(waitUntil([&] { return paths().contains(second); }, 5000))
            << "a drive plugged in later did not appear";
        EXPECT_TRUE(stored().contains("Second"));
    }
    ASSERT_TRUE(waitUntil([&] { return !paths().contains(second); }, 5000));

    hb::UserDefaults::standard().setBool(hideExternalDrivesDefaultsKey, true);
    LoopVolume hidden(second);
    ASSERT_TRUE(hidden.isMounted());
    waitUntil([] { return false; }, 500);
    EXPECT_FALSE(paths().contains(second)) << "drives are not added while hideExternalDrives is on";
}

}  // namespace
