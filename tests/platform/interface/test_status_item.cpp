#include "platform/interface/StatusItem.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

TEST(StatusItem, TheClickRunsTheActionAndTheMenuEntriesTheirHandlers)
{
    hb::StatusItem item;
    QStringList ran;
    item.performClick();  // no action yet: nothing happens
    item.setAction([&] { ran << "click"; });
    QAction* open = item.addMenuItem("Open Harbrill", [&] { ran << "open"; });
    QAction* quit = item.addMenuItem("Quit Harbrill", [&] { ran << "quit"; });

    item.performClick();
    quit->trigger();
    open->trigger();
    EXPECT_EQ(ran, QStringList({"click", "quit", "open"}));
    ASSERT_EQ(item.menu()->actions().size(), 2);
    EXPECT_EQ(item.menu()->actions().at(0)->text(), "Open Harbrill");
}

TEST(StatusItem, WithoutATrayShowingSaysSoAndTheItemIsInNoTray)
{
    if (hb::StatusItem::isSystemTrayAvailable())
        GTEST_SKIP() << "this session has a tray";
    hb::StatusItem item;
    item.setTitle("Harbrill");
    EXPECT_FALSE(item.show());
    EXPECT_FALSE(item.isVisible());
}
