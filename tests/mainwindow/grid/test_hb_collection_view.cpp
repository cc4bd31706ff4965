#include "GridFixture.h"

#include "platform/interface/EventMonitor.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

namespace {

hb::Event flags(std::uint64_t modifierFlags)
{
    return hb::Event{hb::EventType::flagsChanged, modifierFlags, 0, {}};
}

TEST_F(GridTest, ACopyModifierSwitchesToCopyAndBackOnlyWhenOneWasSeenDown)
{
    setSourceAvailable(true);
    struct Step {
        std::uint64_t flags;
        bool optionPressed;
        std::int64_t mode;
    };
    const struct {
        const char* name;
        std::vector<Step> steps;
    } cases[] = {
        {"Option down and up", {{hb::NSEventModifierFlagOption, true, 1}, {0, false, 16}}},
        {"Option up never seen down", {{0, false, 16}}},
        {"Shift alone", {{hb::NSEventModifierFlagShift, false, 16}}},
        {"Shift added while Option is held",
         {{hb::NSEventModifierFlagOption, true, 1},
          {hb::NSEventModifierFlagOption | hb::NSEventModifierFlagShift, true, 1},
          {hb::NSEventModifierFlagShift, false, 16}}},
        {"Ctrl down and up", {{hb::NSEventModifierFlagControl, true, 1}, {0, false, 16}}},
        {"Ctrl released while Alt stays down",
         {{hb::NSEventModifierFlagControl, true, 1},
          {hb::NSEventModifierFlagControl | hb::NSEventModifierFlagOption, true, 1},
          {hb::NSEventModifierFlagOption, true, 1},
          {0, false, 16}}},
        {"Super is no copy modifier", {{hb::NSEventModifierFlagCommand, false, 16}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        grid->changeCursor(16);
        grid->optionPressed = false;
        for (const Step& step : c.steps) {
            grid->modifierPressed(flags(step.flags));
            EXPECT_EQ(grid->optionPressed, step.optionPressed);
            EXPECT_EQ(grid->currentDragOperation, step.mode);
        }
    }
}

TEST_F(GridTest, TheMonitorIsInstalledOnceAndOnlyForTheFirstResponder)
{
    setSourceAvailable(true);
    grid->changeCursor(16);
    window->setFocus();
    grid->addMonitor();
    EXPECT_FALSE(grid->modifierMonitor);

    ASSERT_TRUE(grid->makeFirstResponder());
    grid->addMonitor();
    ASSERT_TRUE(grid->modifierMonitor);
    const hb::EventMonitor::Token token = *grid->modifierMonitor;
    grid->addMonitor();
    EXPECT_EQ(grid->modifierMonitor, token);

    // Real key events reach the grid through the monitor and go on to their target.
    QTest::keyPress(window.get(), Qt::Key_Alt);
    EXPECT_EQ(grid->currentDragOperation, 1);
    EXPECT_EQ(hb::EventMonitor::dispatch(flags(0))->type, hb::EventType::flagsChanged);
    EXPECT_EQ(grid->currentDragOperation, 16);

    grid->modifierPressed(flags(hb::NSEventModifierFlagOption));
    grid->removeMonitor();
    EXPECT_FALSE(grid->modifierMonitor);
    EXPECT_FALSE(hb::EventMonitor::isInstalled(token));
    EXPECT_FALSE(grid->optionPressed);
    EXPECT_EQ(grid->currentDragOperation, 1) << "the mode stays until it is changed";
    QTest::keyRelease(window.get(), Qt::Key_Alt);
    EXPECT_EQ(grid->currentDragOperation, 1);
}

TEST_F(GridTest, TheCursorFollowsTheModeOnlyWhileASourceIsHeld)
{
    struct Case {
        const char* name;
        bool source;
        bool mouseInView;
        std::int64_t operation;
        std::optional<Qt::CursorShape> pushed;
        std::optional<Qt::CursorShape> rect;
    };
    const Case cases[] = {
        {"move", true, true, 16, Qt::PointingHandCursor, Qt::PointingHandCursor},
        {"copy", true, true, 1, Qt::DragCopyCursor, Qt::DragCopyCursor},
        {"move with the pointer elsewhere", true, false, 16, std::nullopt, Qt::PointingHandCursor},
        {"none", true, true, 0, std::nullopt, std::nullopt},
        {"no source", false, true, 16, std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setSourceAvailable(c.source);
        grid->oldCursorState.reset();
        grid->resetCursorRects();  // starts without rectangles
        grid->isMouseInView = c.mouseInView;
        grid->changeCursor(c.operation);
        EXPECT_EQ(grid->currentDragOperation, c.operation);
        EXPECT_EQ(grid->oldCursorState, c.operation);
        EXPECT_EQ(hb::CursorStack::current(), c.pushed);
        EXPECT_LE(hb::CursorStack::depth(), 1) << "each change pops what the last one pushed";
        EXPECT_EQ(hb::CursorRects::cursorOf(*grid), c.rect);
    }

    // Copy and back to move leaves one cursor, the move one; a reset leaves none to rebuild.
    setSourceAvailable(true);
    grid->isMouseInView = true;
    grid->changeCursor(1);
    grid->changeCursor(16);
    EXPECT_EQ(hb::CursorStack::depth(), 1);
    EXPECT_EQ(hb::CursorRects::cursorOf(*grid), Qt::PointingHandCursor);
    grid->oldCursorState.reset();
    hb::CursorStack::pop();
    grid->resetCursorRects();
    EXPECT_FALSE(hb::CursorRects::cursorOf(*grid));
    EXPECT_EQ(hb::CursorStack::depth(), 0);
}

TEST_F(GridTest, AutoscrollRunsWhileADragIsOutsideTheGrid)
{
    EXPECT_FALSE(grid->mouseDownCanMoveWindow());
    hb::DraggingInfo info;
    grid->draggingExited(&info);
    ASSERT_TRUE(grid->timer);
    EXPECT_TRUE(grid->timer->isValid());
    hb::RepeatingTimer* running = grid->timer.get();
    grid->startTimer();
    EXPECT_EQ(grid->timer.get(), running) << "one timer at a time";
    grid->draggingEntered(info);
    EXPECT_FALSE(grid->timer);
    grid->draggingExited(&info);
    grid->draggingEnded(&info);
    EXPECT_FALSE(grid->timer);
}

// A move into a folder on another volume is carried out as a copy: the tile pointed at shows the copy
// look and the grid says so, while the click itself still asks for the mode in force.
TEST_F(GridTest, ATileOnAnotherVolumeThanTheHeldFilesShowsTheCopyLook)
{
    QTemporaryDir elsewhere(QStringLiteral("/dev/shm/harbrill-grid-XXXXXX"));
    const QString held = env.writeFile("home/Reports/notes.txt", "notes");
    env.grant(env.root());
    if (!elsewhere.isValid()
        || HBHeldVolumes::volumeOf(hb::URL::fileURLWithPath(elsewhere.path(), true))
               == HBHeldVolumes::volumeOf(hb::URL::fileURLWithPath(held)))
        HB_SKIP_WITHOUT_ROOT_SETUP("no second volume at /dev/shm");
    env.grant(elsewhere.path());
    HBLocationList list = store->dropLocations();
    list << HBLocationEntries::folderEntry(elsewhere.path());
    store->setDropLocations(list);
    HBCollectionViewItem& other = tile(4);
    HBCollectionViewItem& musicItem = tile(1);
    ASSERT_EQ(other.locationEntry().value("permissionStatus"), "true");

    QStringList hints;
    QObject::connect(grid, &HBCollectionView::clickHintChanged, [&](const QString& hint) { hints << hint; });
    setSourceAvailable(true);
    grid->isMouseInView = true;
    grid->setHeldItems({hb::URL::fileURLWithPath(held)});
    grid->changeCursor(16);
    other.mouseEntered();
    EXPECT_EQ(hb::CursorStack::current(), Qt::DragCopyCursor);
    EXPECT_EQ(grid->currentDragOperation, 16) << "the mode stays the person's";
    const QString otherName = other.locationEntry().value("Name");
    EXPECT_EQ(grid->clickHint(), QStringLiteral("click copies them to \"%1\", on another drive").arg(otherName));
    other.mouseExited();
    musicItem.mouseEntered();
    EXPECT_EQ(hb::CursorStack::current(), Qt::PointingHandCursor);
    EXPECT_EQ(grid->clickHint(), QStringLiteral("click moves them to \"Music\" (hold Ctrl to copy)"));
    grid->modifierPressed(flags(hb::NSEventModifierFlagControl));
    EXPECT_EQ(grid->clickHint(), QStringLiteral("click copies them to \"Music\""));
    grid->modifierPressed(flags(0));
    musicItem.mouseExited();
    EXPECT_EQ(grid->clickHint(), QString());
    EXPECT_EQ(hints.last(), QString());
    EXPECT_LE(hb::CursorStack::depth(), 1);

    grid->setHeldItems({});
    other.mouseEntered();
    EXPECT_EQ(hb::CursorStack::current(), Qt::PointingHandCursor) << "nothing held, nothing copies";
}

TEST_F(GridTest, AFolderTileLightsUnderADragOfFilesUntilItIsDroppedOrLeaves)
{
    struct OnTiles : hb::CollectionViewDelegate {
        std::uint64_t collectionViewValidateDrop(hb::CollectionView&, hb::DraggingInfo&, std::int64_t&,
                                                 hb::CollectionViewDropOperation& operation) override
        {
            operation = hb::CollectionViewDropOperation::on;
            return hb::NSDragOperationMove;
        }
        bool collectionViewAcceptDrop(hb::CollectionView&, hb::DraggingInfo&, std::int64_t,
                                      hb::CollectionViewDropOperation) override
        {
            return true;
        }
    } delegate;
    grid->setDelegate(&delegate);
    grid->registerForDraggedTypes({reorderPasteboardType, hb::fileURLPasteboardType});
    const auto lit = [&] {
        QList<std::int64_t> indexes;
        for (std::int64_t index = 0; index < grid->numberOfItems(); ++index)
            if (tile(index).backgroundBox->isDropHighlighted())
                indexes << index;
        return indexes;
    };
    const auto drag = [&](const QStringList& types, std::int64_t over) {
        hb::DraggingPasteboard pasteboard;
        pasteboard.declareTypes(types);
        return hb::DraggingInfo(pasteboard, hb::NSDragOperationCopy | hb::NSDragOperationMove,
                                grid->frameForItemAtIndex(over).center());
    };

    hb::DraggingInfo files = drag({hb::fileURLPasteboardType}, 1);
    grid->draggingEntered(files);
    EXPECT_EQ(lit(), QList<std::int64_t>{1});
    hb::DraggingInfo overTile2 = drag({hb::fileURLPasteboardType}, 2);
    grid->draggingUpdated(overTile2);
    EXPECT_EQ(lit(), QList<std::int64_t>{2});
    hb::DraggingInfo overPseudo = drag({hb::fileURLPasteboardType}, 0);
    grid->draggingUpdated(overPseudo);
    EXPECT_TRUE(lit().isEmpty()) << "the first tile is no folder";
    grid->draggingUpdated(overTile2);
    grid->performDragOperation(overTile2);
    EXPECT_TRUE(lit().isEmpty()) << "dropped";
    grid->draggingEntered(files);
    grid->draggingExited(&files);
    EXPECT_TRUE(lit().isEmpty()) << "left";
    hb::DraggingInfo reorder = drag({reorderPasteboardType}, 1);
    grid->draggingEntered(reorder);
    EXPECT_TRUE(lit().isEmpty()) << "a tile being reordered lights nothing";
    grid->draggingEnded(&reorder);
}

TEST_F(GridTest, TheGridFollowsTheStoreAndKeepsItsTiles)
{
    EXPECT_FALSE(loadCollectionViewNib(nullptr, nullptr));
    EXPECT_EQ(grid->accessibleName(), "Destinations");
    EXPECT_EQ(grid->numberOfColumns(), 3);
    EXPECT_TRUE(grid->trackingAreas().contains(grid->trackingArea));
    EXPECT_EQ(grid->trackingArea->options, 0x121u);

    hb::CollectionViewItem* first = grid->itemAtIndex(1);
    HBLocationList list = store->dropLocations();
    list.move(1, 3);
    list << HBLocationEntries::folderEntry(env.makeFolder("home/Later"));
    store->setDropLocations(list);
    EXPECT_EQ(grid->numberOfItems(), 5);
    EXPECT_EQ(grid->itemAtIndex(1), first);
    EXPECT_EQ(tile(1).accessibleName(), "Add Reports");
    EXPECT_EQ(tile(3).locationEntry().value(HBLocationEntryKey::path), music);
    EXPECT_EQ(tile(4).accessibleName(), "Later");
}

}  // namespace
