#include "TestEnvironment.h"

#include "core/engine/HBConstants.h"
#include "mainwindow/controls/HBCollectionItemView.h"
#include "mainwindow/controls/HBCollectionViewClipView.h"
#include "mainwindow/controls/HBCustomBox.h"
#include "platform/base/NotificationCenter.h"

#include <QCoreApplication>
#include <QEnterEvent>

namespace {

class ClipViewTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::NotificationCenter::defaultCenter().addObserver(this, changeSizeNotification, nullptr,
                                                            [this](const hb::Notification& notification) {
                                                                sizes << notification.userInfo.value(sizeUserInfoKey);
                                                            });
    }
    void TearDown() override { hb::NotificationCenter::defaultCenter().removeObserver(this); }
    QVariantList sizes;
};

TEST_F(ClipViewTest, WidthsOtherThanTheStandardOneAreAnnouncedLaterWithTheWidthThen)
{
    HBCollectionViewClipView clipView;
    clipView.resize(332, 300);
    clipView.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(sizes.isEmpty());

    clipView.resize(317, 300);
    EXPECT_TRUE(sizes.isEmpty()) << "announced only after the frame change";
    clipView.resize(347, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(sizes, (QVariantList{347.0, 347.0}));

    sizes.clear();
    clipView.resize(331, 300);
    clipView.resize(332, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(sizes, QVariantList{332.0});  // the change to 331 was announced, with the width then

    sizes.clear();
    auto* gone = new HBCollectionViewClipView;
    gone->show();
    gone->resize(340, 10);
    delete gone;
    QCoreApplication::processEvents();
    EXPECT_TRUE(sizes.isEmpty());
}

TEST(HBCollectionItemView, TrackingAreaIsMadeOnceAndInstalledOnce)
{
    HBCollectionItemView view;
    int entered = 0;
    QObject::connect(&view, &HBCollectionItemView::mouseEntered, [&] { ++entered; });
    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_EQ(entered, 0) << "no tracking area yet";

    view.updateTrackingAreas();
    const auto area = view.trackingArea;
    view.updateTrackingAreas();
    view.ensureTrackingArea();
    EXPECT_EQ(view.trackingArea, area);
    EXPECT_EQ(view.trackingAreas().count(), 1u);
    EXPECT_EQ(area->options, 545u);
    QCoreApplication::sendEvent(&view, &enter);
    EXPECT_EQ(entered, 1);
}

TEST(HBCustomBox, BorderIsOnePointAndInvisible)
{
    HBCustomBox box;
    EXPECT_EQ(box.borderWidth(), 1.0);
    EXPECT_EQ(box.borderColor().alphaF(), 0.0);
    EXPECT_EQ(box.fillColor().alpha(), 0);
}

}  // namespace
