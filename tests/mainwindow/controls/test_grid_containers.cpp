#include "TestEnvironment.h"

#include "core/store/HBConstants.h"
#include "mainwindow/controls/HBCollectionItemView.h"
#include "mainwindow/controls/HBCollectionViewClipView.h"
#include "mainwindow/controls/HBCustomBox.h"
#include "platform/base/NotificationCenter.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QImage>

namespace {

class ClipViewTest : public HarbrillTest {
protected:
    void SetUp() override
    {
        hb::NotificationCenter::defaultCenter().addObserver(
            this, changeSizeNotification, nullptr,
            [this](const hb::Notification& notification) { sizes << notification.userInfo.value(sizeUserInfoKey); });
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

// Drawn: a rounded box in its fill colour (set through its animatable property), reaching its sides,
// and nothing of its border; a new box draws nothing at all.
TEST(HBCustomBox, DrawsARoundedBoxInItsFillColourAndNoBorder)
{
    const auto drawn = [](HBCustomBox& box) {
        QImage image(box.size(), QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        box.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    HBCustomBox box;
    box.resize(40, 40);
    const QImage empty = drawn(box);
    for (int y = 0; y < empty.height(); ++y)
        for (int x = 0; x < empty.width(); ++x)
            ASSERT_EQ(qAlpha(empty.pixel(x, y)), 0) << "a new box draws nothing, at " << x << "," << y;

    const QColor blue(20, 60, 230);
    ASSERT_TRUE(box.setProperty("fillColor", blue));
    const QImage filled = drawn(box);
    for (const QPoint inside : {QPoint(20, 20), QPoint(1, 20), QPoint(38, 20), QPoint(20, 1), QPoint(20, 38)})
        EXPECT_EQ(filled.pixelColor(inside), blue) << inside.x() << "," << inside.y();
    for (const QPoint corner : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 39), QPoint(39, 39)})
        EXPECT_EQ(qAlpha(filled.pixel(corner)), 0) << "rounded at " << corner.x() << "," << corner.y();
    int reddish = 0;
    for (int y = 0; y < filled.height(); ++y)
        for (int x = 0; x < filled.width(); ++x)
            reddish += qRed(filled.pixel(x, y)) > 20 + blue.red();
    EXPECT_EQ(reddish, 0) << "the border shows";
}

}  // namespace
