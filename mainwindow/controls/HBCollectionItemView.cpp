#include "mainwindow/controls/HBCollectionItemView.h"

HBCollectionItemView::HBCollectionItemView(QWidget* parent) : QWidget(parent) {}

void HBCollectionItemView::ensureTrackingArea()
{
    if (!trackingArea) {
        trackingArea = std::make_shared<hb::TrackingArea>(hb::TrackingArea{rect(), hb::NSTrackingMouseEnteredAndExited
                                                                                       | hb::NSTrackingActiveInKeyWindow
                                                                                       | hb::NSTrackingInVisibleRect});
    }
}

void HBCollectionItemView::updateTrackingAreas()
{
    ensureTrackingArea();
    if (!m_trackingAreas.contains(trackingArea))
        m_trackingAreas.add(trackingArea);
}

void HBCollectionItemView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    updateTrackingAreas();
}

void HBCollectionItemView::enterEvent(QEnterEvent* event)
{
    QWidget::enterEvent(event);
    if (m_trackingAreas.tracksEnteredAndExited())
        emit mouseEntered();
}

void HBCollectionItemView::leaveEvent(QEvent* event)
{
    QWidget::leaveEvent(event);
    if (m_trackingAreas.tracksEnteredAndExited())
        emit mouseExited();
}
