#include "platform/interface/PageController.h"

#include <QStackedLayout>

#include <gtest/gtest.h>

namespace {

class RecordingDelegate : public hb::PageControllerDelegate {
public:
    QStringList calls;
    QStringList made;
    bool completes = true;

    QString identifierForObject(hb::PageController*, const QVariant& object) override { return object.toString(); }
    std::unique_ptr<hb::ViewController> viewControllerForIdentifier(hb::PageController*, const QString& id) override
    {
        if (id == "missing")
            return nullptr;
        made << id;
        auto page = std::make_unique<hb::ViewController>();
        page->setObjectName(id);
        return page;
    }
    void pageControllerWillStartLiveTransition(hb::PageController* controller) override
    {
        calls << "willStart:" + controller->selectedViewController()->objectName();
    }
    void pageControllerDidTransitionToObject(hb::PageController*, const QVariant& object) override
    {
        calls << "didTransition:" + object.toString();
    }
    void pageControllerDidEndLiveTransition(hb::PageController* controller) override
    {
        calls << "didEnd";
        if (completes)
            controller->completeTransition();
    }
};

QString shownPage(hb::PageController& controller)
{
    auto* stack = qobject_cast<QStackedLayout*>(controller.pageArea()->layout());
    return stack && stack->currentWidget() ? stack->currentWidget()->objectName() : QString();
}

class PageControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        controller.setDelegate(&delegate);
        controller.setArrangedObjects({"a", "b", "c"});
        controller.setSelectedIndex(0);
    }
    RecordingDelegate delegate;
    hb::PageController controller;
};

TEST_F(PageControllerTest, NavigatingTellsTheDelegateAroundTheChangeAndShowsThePageOnCompletion)
{
    EXPECT_EQ(shownPage(controller), "a");
    EXPECT_TRUE(delegate.calls.isEmpty()) << "selecting directly is no transition";

    controller.navigateForward();
    EXPECT_EQ(delegate.calls, QStringList({"willStart:a", "didTransition:b", "didEnd"}));
    EXPECT_EQ(controller.selectedIndex(), 1);
    EXPECT_EQ(shownPage(controller), "b");

    delegate.calls.clear();
    controller.navigateBack();
    EXPECT_EQ(delegate.calls, QStringList({"willStart:b", "didTransition:a", "didEnd"}));
    EXPECT_EQ(shownPage(controller), "a");
    EXPECT_EQ(delegate.made, QStringList({"a", "b"})) << "pages are made once and kept";
}

TEST_F(PageControllerTest, ThePageStaysUntilTheTransitionIsCompleted)
{
    delegate.completes = false;
    controller.navigateForward();
    EXPECT_EQ(controller.selectedIndex(), 1);
    EXPECT_EQ(shownPage(controller), "a");
    controller.completeTransition();
    EXPECT_EQ(shownPage(controller), "b");
}

TEST_F(PageControllerTest, NothingHappensBeyondEitherEnd)
{
    controller.navigateBack();
    controller.setSelectedIndex(2);
    controller.navigateForward();
    controller.setSelectedIndex(7);
    EXPECT_TRUE(delegate.calls.isEmpty());
    EXPECT_EQ(controller.selectedIndex(), 2);
    EXPECT_EQ(shownPage(controller), "c");
}

TEST_F(PageControllerTest, AnIdentifierWithoutAPageSelectsNothingToShow)
{
    controller.setArrangedObjects({"a", "missing"});
    delegate.completes = true;
    controller.setSelectedIndex(1);
    EXPECT_EQ(controller.selectedViewController(), nullptr);
    EXPECT_EQ(shownPage(controller), "a");
}

}  // namespace
