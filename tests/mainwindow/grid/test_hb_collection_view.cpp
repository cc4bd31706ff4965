#include "GridFixture.h"

#include "platform/interface/EventMonitor.h"

#include <QCoreApplication>
#include <QTest>

namespace {

hb::Event flags(std::uint64_t modifierFlags) { return hb::Event{hb::EventType::flagsChanged, modifierFlags, 0, {}}; }

TEST_F(GridTest, OptionSwitchesToCopyAndBackOnlyWhenItWasSeenDown)
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
