#include "GridFixture.h"

#include <QCoreApplication>
#include <QMenu>
#include <QTest>

namespace {

constexpr std::int64_t pseudoTile = 0;
constexpr std::int64_t musicTile = 1;
constexpr std::int64_t lockedTile = 2;

// Press rules: a held press becomes a drag only at the fifth dragged event; Control makes a right click;
// a double click without a source opens the folder.
TEST_F(GridTest, PressesBecomeClicksDragsMenusOrOpeningAsTheGestureSays)
{
    enum class Gesture { click, dragged4ThenRelease, dragged5, controlClick, rightClick, doubleClick };
    struct Case {
        const char* name;
        std::int64_t tile;
        bool source;
        Gesture gesture;
        QStringList posted;
        int drags;
        bool menu;
        bool opens;
    };
    const QStringList selected{destinationSelectedNotification};
    const Case cases[] = {
        {"click", musicTile, false, Gesture::click, selected, 0, false, false},
        {"four dragged events stay a click", musicTile, true, Gesture::dragged4ThenRelease, selected, 0, false, false},
        {"the fifth dragged event drags", musicTile, true, Gesture::dragged5, {}, 1, false, false},
        {"Control-click on a usable folder", musicTile, true, Gesture::controlClick, {}, 0, true, false},
        {"right click on a usable folder", musicTile, false, Gesture::rightClick, {}, 0, true, false},
        {"Control-click on the pseudo tile", pseudoTile, true, Gesture::controlClick, {}, 0, false, false},
        {"right click on a folder without access", lockedTile, false, Gesture::rightClick, {}, 0, false, false},
        {"double click without a source", musicTile, false, Gesture::doubleClick, selected + selected, 0, false, true},
        {"double click with a source", musicTile, true, Gesture::doubleClick, selected + selected, 0, false, false},
    };
    int drags = 0;
    hb::CollectionView::setDragPerformer([&](hb::CollectionView&, const hb::DraggingPasteboard&, std::uint64_t) {
        ++drags;
        return hb::CollectionView::DragOutcome{};
    });
    struct AllowingDelegate : hb::CollectionViewDelegate {
        bool collectionViewWriteItemsAtIndexesToPasteboard(hb::CollectionView&, const hb::IndexSet&,
                                                           hb::DraggingPasteboard& pasteboard) override
        {
            pasteboard.declareTypes({reorderPasteboardType});
            return true;
        }
    } delegate;
    grid->setDelegate(&delegate);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        posted.clear();
        opened.clear();
        drags = 0;
        setSourceAvailable(c.source);
        HBCollectionViewItem& target = tile(c.tile);
        switch (c.gesture) {
        case Gesture::click:
            press(target);
            release(target);
            break;
        case Gesture::dragged4ThenRelease:
            press(target);
            for (int step = 1; step <= 4; ++step)
                drag(target, step);
            release(target);
            break;
        case Gesture::dragged5:
            press(target);
            for (int step = 1; step <= 5; ++step)
                drag(target, step);
            break;
        case Gesture::controlClick:
            press(target, Qt::ControlModifier);
            break;
        case Gesture::rightClick:
            press(target, Qt::NoModifier, Qt::RightButton);
            break;
        case Gesture::doubleClick:
            doubleClick(target);
            break;
        }
        EXPECT_EQ(postedNames(), c.posted);
        EXPECT_EQ(drags, c.drags);
        EXPECT_EQ(target.contextualMenu->isVisible(), c.menu);
        target.contextualMenu->hide();
        EXPECT_EQ(opened.size(), c.opens ? 1 : 0);
        if (c.opens) {
            EXPECT_EQ(hb::URL::fromQUrl(opened.first()).path(), music);
        }
    }
}

TEST_F(GridTest, AClickPostsTheModeOfTheGridOrAsksForAccessOrAddsFolders)
{
    const QString chosen = env.makeFolder("home/Chosen");
    struct Case {
        const char* name;
        std::int64_t tile;
        bool source;
        std::int64_t mode;
        QStringList posted;
        QString action;  // of "destinationSelected"
        QStringList panels;
    };
    const Case cases[] = {
        {"no source: nothing to shift", musicTile, false, 16, {destinationSelectedNotification}, noneActionValue, {}},
        {"copy mode", musicTile, true, 1, {destinationSelectedNotification}, copyActionValue, {}},
        {"move mode", musicTile, true, 16, {destinationSelectedNotification}, moveActionValue, {}},
        {"no mode yet counts as move", musicTile, true, 0, {destinationSelectedNotification}, moveActionValue, {}},
        {"\"TRUE\" is no access: the permission panel, cancelled", lockedTile, true, 16, {}, {}, {"Add Reports"}},
        {"Add Folder", pseudoTile, false, 16, {addToGridNotification}, {}, {"Add To Grid"}},
        {"Choose Folder", pseudoTile, true, 1,
         {destinationSelectedNotification, addToGridNotification}, copyActionValue, {"Copy To..."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        posted.clear();
        panelTitles.clear();
        panelAnswer = c.tile == lockedTile ? std::nullopt
                                           : std::optional<QList<hb::URL>>({hb::URL::fileURLWithPath(chosen, true)});
        setSourceAvailable(c.source);
        grid->currentDragOperation = c.mode;
        HBCollectionViewItem& target = tile(c.tile);
        press(target);
        release(target);
        EXPECT_EQ(postedNames(), c.posted);
        EXPECT_EQ(panelTitles, c.panels);
        for (const hb::Notification& notification : posted) {
            if (notification.name == destinationSelectedNotification) {
                EXPECT_EQ(notification.object, &target);
                EXPECT_EQ(notification.userInfo.value(actionUserInfoKey), c.action);
                EXPECT_EQ(notification.userInfo.value(sourceUserInfoKey), finderSourceValue);
                EXPECT_EQ(notification.userInfo.value(destinationUserInfoKey),
                          c.tile == pseudoTile ? chosen : music);
            } else {
                const QVariantList added = notification.userInfo.value(locationAddedUserInfoKey).toList();
                ASSERT_EQ(added.size(), 1);
                EXPECT_EQ(added.first().value<hb::URL>().path(), chosen);
            }
        }
    }
}

TEST_F(GridTest, OnlyAChosenShiftFlashesTheTile)
{
    const QColor settled = QColor::fromRgbF(86 / 255.0f, 69 / 255.0f, 0.0f, 0.06f);
    HBCollectionViewItem& target = tile(musicTile);
    setSourceAvailable(false);
    press(target);
    release(target);
    QTest::qWait(600);
    EXPECT_EQ(target.backgroundBox->fillColor().alpha(), 0);

    setSourceAvailable(true);
    press(target);
    release(target);
    EXPECT_TRUE(waitUntil([&] { return target.backgroundBox->fillColor().rgba() == settled.rgba(); }, 2000));
}

TEST_F(GridTest, GrantedAccessIsPostedWithTheChosenFolderAndThePanelNamesTheFolderOnce)
{
    panelAnswer = QList<hb::URL>{hb::URL::fileURLWithPath(reports, true)};
    HBCollectionViewItem& target = tile(lockedTile);
    target.getPermission();
    EXPECT_EQ(panelTitles, QStringList{"Add Reports"});  // not "Add Add Reports"
    ASSERT_EQ(postedNames(), QStringList{permissionGrantedNotification});
    EXPECT_EQ(posted.first().object, &target);
    EXPECT_EQ(posted.first().userInfo.value(urlUserInfoKey).value<hb::URL>().path(), reports);
}

TEST_F(GridTest, HoverButtonsShowOnlyOverAUsableFolderWhileASourceIsHeld)
{
    struct Case {
        const char* name;
        std::int64_t tile;
        bool source;
        bool createFolderMode;
        bool shown;
    };
    const Case cases[] = {
        {"usable folder with a source", musicTile, true, false, true},
        {"no source", musicTile, false, false, false},
        {"pseudo tile", pseudoTile, true, false, false},
        {"folder without access", lockedTile, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setSourceAvailable(c.source);
        HBCollectionViewItem& target = tile(c.tile);
        target.mouseEntered();
        EXPECT_FALSE(target.newFolderButton->isVisible()) << "shown only after the current event";
        QTest::qWait(300);
        EXPECT_EQ(target.newFolderButton->isVisible(), c.shown);
        EXPECT_EQ(target.newFolderPanel->isVisible(), c.shown);
        target.mouseExited();
        EXPECT_TRUE(waitUntil([&] { return !target.newFolderButton->isVisible(); }, 1000));
    }

    // While its folder is being created the buttons stay as they are.
    setSourceAvailable(true);
    HBCollectionViewItem& target = tile(musicTile);
    target.mouseEntered();
    ASSERT_TRUE(waitUntil([&] { return target.newFolderButton->isVisible(); }, 1000));
    target.inCreateFolderMode = true;
    target.mouseExited();
    QTest::qWait(300);
    EXPECT_TRUE(target.newFolderButton->isVisible());
    target.newFolderCancelled();
    EXPECT_FALSE(target.inCreateFolderMode);
    EXPECT_TRUE(waitUntil([&] { return !target.newFolderButton->isVisible(); }, 1000));
}

TEST_F(GridTest, RemovalIsAskedForAfterTheCurrentEventWithTheTile)
{
    HBCollectionViewItem& target = tile(musicTile);
    target.removeFolder();
    EXPECT_TRUE(posted.isEmpty());
    QCoreApplication::processEvents();
    ASSERT_EQ(postedNames(), QStringList{removeSelectedNotification});
    EXPECT_EQ(posted.first().object, nullptr);
    EXPECT_EQ(posted.first().userInfo.value(collectionviewSelectedUserInfoKey).value<QObject*>(), &target);
}

TEST_F(GridTest, HidingAllLeavesAGapAndTilesNameThemselvesAfterTheirEntry)
{
    HBCollectionViewItem& target = tile(musicTile);
    target.hideAll();
    EXPECT_FALSE(target.pathImageView->isVisible());
    EXPECT_FALSE(target.pathName->isVisible());
    EXPECT_FALSE(target.backgroundBox->isVisible());
    target.unHideAll();
    EXPECT_TRUE(target.pathImageView->isVisible());

    QStringList names;
    for (std::int64_t index = 0; index < grid->numberOfItems(); ++index)
        names << tile(index).accessibleName();
    EXPECT_EQ(names, (QStringList{"Add Folder", "Music", "Add Reports", "USB"}));
    EXPECT_FALSE(tile(musicTile).pathImageView->pixmap().isNull());
    EXPECT_EQ(tile(musicTile).newFolderButton->accessibleName(), "New Folder");
    EXPECT_EQ(tile(musicTile).newFolderPanel->accessibleName(), "Choose Folder...");
}

}  // namespace
