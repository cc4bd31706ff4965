#include "GridFixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

namespace {

constexpr std::int64_t pseudoTile = 0;
constexpr std::int64_t musicTile = 1;
constexpr std::int64_t lockedTile = 2;

// Press rules: a held press becomes a drag only at the fifth dragged event; the right button (never
// Control) opens the menu; a double click without a source opens the folder.
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
        {"Control-click on a usable folder is a click", musicTile, true, Gesture::controlClick, selected, 0, false,
         false},
        {"right click on a usable folder", musicTile, false, Gesture::rightClick, {}, 0, true, false},
        {"Control-click on the pseudo tile asks for a folder",
         pseudoTile,
         true,
         Gesture::controlClick,
         {},
         0,
         false,
         false},
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
            release(target);
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
        {"Choose Folder",
         pseudoTile,
         true,
         1,
         {destinationSelectedNotification, addToGridNotification},
         copyActionValue,
         {"Copy To..."}},
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
                EXPECT_EQ(notification.userInfo.value(destinationUserInfoKey), c.tile == pseudoTile ? chosen : music);
            } else {
                const QVariantList added = notification.userInfo.value(locationAddedUserInfoKey).toList();
                ASSERT_EQ(added.size(), 1);
                EXPECT_EQ(added.first().value<hb::URL>().path(), chosen);
            }
        }
    }
}

// The copy modifier is read from the press itself (it may have been pressed while another window had
// the focus, so the grid's monitor never saw it) as well as from the grid's mode.
TEST_F(GridTest, AClickCopiesWithCtrlOrAltAtThePressOrInTheGridsCopyMode)
{
    struct Case {
        const char* name;
        std::int64_t mode;
        Qt::KeyboardModifiers modifiers;
        QString action;
    };
    const Case cases[] = {
        {"plain click in move mode", 16, Qt::NoModifier, moveActionValue},
        {"Ctrl held at the press", 16, Qt::ControlModifier, copyActionValue},
        {"Alt held at the press", 16, Qt::AltModifier, copyActionValue},
        {"Shift is no copy modifier", 16, Qt::ShiftModifier, moveActionValue},
        {"copy mode without a modifier", 1, Qt::NoModifier, copyActionValue},
        {"no mode yet, Ctrl held", 0, Qt::ControlModifier, copyActionValue},
    };
    setSourceAvailable(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        posted.clear();
        grid->currentDragOperation = c.mode;
        press(tile(musicTile), c.modifiers);
        release(tile(musicTile));
        ASSERT_EQ(postedNames(), QStringList{destinationSelectedNotification});
        EXPECT_EQ(posted.first().userInfo.value(actionUserInfoKey), c.action);
    }
}

// A window manager that keeps Alt+press for moving windows may still hand the release to the program:
// without its press that release is no click, and nothing is shifted.
TEST_F(GridTest, AReleaseWhosePressTheTileNeverSawShiftsNothing)
{
    setSourceAvailable(true);
    grid->currentDragOperation = 16;
    release(tile(musicTile));
    EXPECT_TRUE(posted.isEmpty());
    press(tile(musicTile));
    release(tile(musicTile));
    release(tile(musicTile));
    EXPECT_EQ(postedNames(), QStringList{destinationSelectedNotification}) << "one press, one click";
}

TEST_F(GridTest, TheKeyboardFocusesTilesClicksThemAndOpensTheirMenu)
{
    setSourceAvailable(true);
    grid->currentDragOperation = 16;
    window->activateWindow();
    ASSERT_TRUE(grid->makeFirstResponder());
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_TRUE(tile(pseudoTile).hasFocus()) << "Tab goes from the grid to its first tile";
    QTest::keyClick(&tile(pseudoTile), Qt::Key_Tab);
    EXPECT_TRUE(tile(musicTile).hasFocus()) << "and on from tile to tile";
    ASSERT_TRUE(grid->makeFirstResponder());
    QTest::keyClick(grid, Qt::Key_Right);
    EXPECT_TRUE(tile(pseudoTile).hasFocus()) << "from the grid the first tile takes the focus";
    EXPECT_TRUE(tile(pseudoTile).backgroundBox->showsFocusRing());
    QTest::keyClick(&tile(pseudoTile), Qt::Key_Right);
    HBCollectionViewItem& musicItem = tile(musicTile);
    ASSERT_TRUE(musicItem.hasFocus());
    EXPECT_FALSE(tile(pseudoTile).backgroundBox->showsFocusRing());
    EXPECT_TRUE(grid->isFirstResponder()) << "a tile's focus is the grid's";
    QTest::keyClick(&musicItem, Qt::Key_Up);
    EXPECT_TRUE(musicItem.hasFocus()) << "at the top edge the focus stays";
    QTest::keyClick(&musicItem, Qt::Key_Down);  // three columns: index 1 + 3 is past the last tile
    EXPECT_TRUE(musicItem.hasFocus());

    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        QString action;
    } clicks[] = {
        {"Enter", Qt::Key_Return, Qt::NoModifier, moveActionValue},
        {"Space", Qt::Key_Space, Qt::NoModifier, moveActionValue},
        {"Ctrl+Enter", Qt::Key_Return, Qt::ControlModifier, copyActionValue},
        {"keypad Enter with Alt", Qt::Key_Enter, Qt::AltModifier, copyActionValue},
    };
    for (const auto& c : clicks) {
        SCOPED_TRACE(c.name);
        posted.clear();
        QTest::keyClick(&musicItem, c.key, c.modifiers);
        ASSERT_EQ(postedNames(), QStringList{destinationSelectedNotification});
        EXPECT_EQ(posted.first().userInfo.value(actionUserInfoKey), c.action);
        EXPECT_EQ(posted.first().userInfo.value(destinationUserInfoKey), musicItem.locationEntry().value("Path"));
    }
    posted.clear();
    QKeyEvent repeated(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, {}, true);
    QCoreApplication::sendEvent(&musicItem, &repeated);
    EXPECT_TRUE(posted.isEmpty()) << "a held key is one click";

    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::KeyboardModifiers()},
                                         std::pair{Qt::Key_F10, Qt::KeyboardModifiers(Qt::ShiftModifier)}}) {
        QTest::keyClick(&musicItem, key, modifiers);
        EXPECT_TRUE(musicItem.contextualMenu->isVisible()) << QKeySequence(key | modifiers).toString().toStdString();
        musicItem.contextualMenu->hide();
    }
    QTest::keyClick(&tile(lockedTile), Qt::Key_Menu);
    EXPECT_FALSE(tile(lockedTile).contextualMenu->isVisible()) << "a folder without access has no menu";
}

TEST_F(GridTest, ScreenReadersPressATileAndOpenItsMenu)
{
    struct Case {
        std::int64_t tile;
        QAccessible::Role role;
        QStringList actions;
    };
    const QString press = QAccessibleActionInterface::pressAction();
    const QString menu = QAccessibleActionInterface::showMenuAction();
    const Case cases[] = {
        {pseudoTile, QAccessible::Button, {press}},
        {musicTile, QAccessible::Button, {press, menu}},
        {lockedTile, QAccessible::Button, {press}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tile);
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&tile(c.tile));
        ASSERT_TRUE(accessible && accessible->actionInterface());
        EXPECT_EQ(accessible->role(), c.role);
        EXPECT_EQ(accessible->text(QAccessible::Name), tile(c.tile).locationEntry().value("Name"));
        for (const QString& action : c.actions)
            EXPECT_TRUE(accessible->actionInterface()->actionNames().contains(action)) << action.toStdString();
        EXPECT_EQ(accessible->actionInterface()->actionNames().contains(menu), c.actions.contains(menu));
    }

    setSourceAvailable(true);
    grid->currentDragOperation = 16;
    QAccessibleInterface* musicAccessible = QAccessible::queryAccessibleInterface(&tile(musicTile));
    musicAccessible->actionInterface()->doAction(press);
    EXPECT_TRUE(posted.isEmpty()) << "the press runs after the screen reader's call is answered";
    ASSERT_TRUE(waitUntil([&] { return !posted.isEmpty(); }, 1000));
    EXPECT_EQ(postedNames(), QStringList{destinationSelectedNotification});
    EXPECT_EQ(posted.first().userInfo.value(actionUserInfoKey), moveActionValue);
    musicAccessible->actionInterface()->doAction(menu);
    EXPECT_TRUE(waitUntil([&] { return tile(musicTile).contextualMenu->isVisible(); }, 1000));
    tile(musicTile).contextualMenu->hide();
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
