#include "platform/interface/Popover.h"
#include "platform/interface/ViewController.h"

#include "TestEnvironment.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using hb::Popover;
using hb::PopoverBehavior;
using hb::RectEdge;

TEST(Popover, SitsOnThePreferredEdgeElseTheOppositeOneInsideTheScreen)
{
    const QRect screen(0, 0, 1000, 800);
    const QSize size(200, 100);
    struct Case {
        QRect anchor;
        RectEdge edge;
        QRect expected;
    } cases[] = {
        {{400, 300, 40, 20}, RectEdge::maxX, {440, 260, 200, 100}},
        {{400, 300, 40, 20}, RectEdge::minX, {200, 260, 200, 100}},
        {{400, 300, 40, 20}, RectEdge::maxY, {320, 200, 200, 100}},  // above
        {{400, 300, 40, 20}, RectEdge::minY, {320, 320, 200, 100}},  // below
        {{900, 300, 40, 20}, RectEdge::maxX, {700, 260, 200, 100}},  // no room on the right: left
        {{400, 20, 40, 20}, RectEdge::maxY, {320, 40, 200, 100}},    // no room above: below
        {{980, 780, 20, 20}, RectEdge::minY, {800, 680, 200, 100}},  // corner: above, moved inside
    };
    for (const Case& c : cases)
        EXPECT_EQ(Popover::placement(size, c.anchor, c.edge, screen), c.expected)
            << c.anchor.x() << "," << c.anchor.y();
}

TEST(Popover, EscapeClosesItOnceAndItGoesAway)
{
    auto content = std::make_unique<hb::ViewController>();
    content->setMinimumSize(120, 80);
    QPointer<Popover> popover = new Popover(std::move(content), PopoverBehavior::applicationDefined);
    QSignalSpy closed(popover.data(), &Popover::didClose);
    QWidget anchor;
    anchor.resize(50, 20);
    anchor.show();
    popover->showRelativeToRect(anchor.rect(), &anchor, RectEdge::maxX);
    ASSERT_TRUE(popover->isShown());

    QTest::keyClick(popover->window(), Qt::Key_Escape);
    EXPECT_EQ(closed.count(), 1);
    popover->close();
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(waitUntil([&] { return popover.isNull(); }));
}

TEST(Popover, ATransientOneClosesOnAPressElsewhereButNotOnOneInsideOrInWhatPopsUpFromIt)
{
    auto content = std::make_unique<hb::ViewController>();
    content->setMinimumSize(120, 80);
    auto* inside = new QWidget(content.get());
    inside->setGeometry(10, 10, 40, 20);
    QPointer<Popover> popover = new Popover(std::move(content), PopoverBehavior::transient);
    QSignalSpy closed(popover.data(), &Popover::didClose);
    QWidget anchor;
    anchor.resize(50, 20);
    anchor.show();
    popover->showRelativeToRect(anchor.rect(), &anchor, RectEdge::minY);
    EXPECT_NE(popover->window()->windowType(), Qt::Popup) << "popups are hidden from accessibility";

    QTest::mouseClick(inside, Qt::LeftButton);
    auto* poppedUp = new QWidget(inside, Qt::Window);  // a menu or list opened from the content
    poppedUp->resize(30, 30);
    poppedUp->show();
    QTest::mouseClick(poppedUp, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(popover->isShown());

    QTest::mouseClick(&anchor, Qt::LeftButton);
    EXPECT_EQ(closed.count(), 1);
    EXPECT_TRUE(waitUntil([&] { return popover.isNull(); }));
}

TEST(Popover, DeletingItDirectlyAnnouncesNothing)
{
    auto* popover = new Popover(std::make_unique<hb::ViewController>(), PopoverBehavior::transient);
    QSignalSpy closed(popover, &Popover::didClose);
    delete popover;
    EXPECT_EQ(closed.count(), 0);
}

}  // namespace
