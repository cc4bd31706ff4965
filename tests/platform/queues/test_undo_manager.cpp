#include "platform/queues/UndoManager.h"

#include "TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace {
void finishEventLoopPass()
{
    QCoreApplication::processEvents();
}
}  // namespace

TEST(UndoManager, RegistrationsOfOnePassFormOneStepUndoneNewestFirst)
{
    hb::UndoManager manager;
    manager.setLevelsOfUndo(1);
    std::vector<int> order;
    int target = 0;
    manager.registerUndo(&target, [&] { order.push_back(1); });
    manager.registerUndo(&target, [&] { order.push_back(2); });
    EXPECT_TRUE(manager.canUndo());
    finishEventLoopPass();

    manager.undo();
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
    EXPECT_FALSE(manager.canUndo());
    manager.undo();
    EXPECT_EQ(order.size(), 2u);
}

TEST(UndoManager, LevelsKeepOnlyTheNewestSteps)
{
    struct Case {
        int levels;
        int steps;
        std::vector<int> undone;
    };
    for (const Case& c : {Case{1, 3, {3}}, Case{2, 3, {3, 2}}, Case{0, 3, {3, 2, 1}}}) {
        hb::UndoManager manager;
        manager.setLevelsOfUndo(c.levels);
        std::vector<int> undone;
        for (int step = 1; step <= c.steps; ++step) {
            manager.registerUndo(&manager, [&undone, step] { undone.push_back(step); });
            finishEventLoopPass();
        }
        while (manager.canUndo())
            manager.undo();
        EXPECT_EQ(undone, c.undone) << "levels " << c.levels;
    }
}

TEST(UndoManager, UndoClosesAnOpenGroupAndDropsRegistrationsMadeWhileUndoing)
{
    hb::UndoManager manager;
    int calls = 0;
    manager.registerUndo(&manager, [&] {
        ++calls;
        EXPECT_TRUE(manager.isUndoing());
        manager.registerUndo(&manager, [&] { calls += 100; });
    });
    manager.undo();
    finishEventLoopPass();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(manager.canUndo());
}

TEST(UndoManager, RemovingByTargetKeepsOtherTargets)
{
    hb::UndoManager manager;
    int a = 0, b = 0;
    std::vector<char> undone;
    manager.registerUndo(&a, [&] { undone.push_back('a'); });
    manager.registerUndo(&b, [&] { undone.push_back('b'); });
    finishEventLoopPass();
    manager.registerUndo(&a, [&] { undone.push_back('A'); });
    finishEventLoopPass();

    manager.removeAllActions(&a);
    ASSERT_TRUE(manager.canUndo());
    manager.undo();
    EXPECT_EQ(undone, std::vector<char>{'b'});
    EXPECT_FALSE(manager.canUndo());

    manager.registerUndo(&b, [] {});
    manager.removeAllActions();
    EXPECT_FALSE(manager.canUndo());
}
