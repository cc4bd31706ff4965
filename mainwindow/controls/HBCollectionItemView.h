#pragma once

#include "platform/interface/TrackingArea.h"

#include <QWidget>

#include <memory>

// The view of a tile: it tracks the pointer over its whole area and reports entering and leaving.
class HBCollectionItemView : public QWidget {
    Q_OBJECT
public:
    explicit HBCollectionItemView(QWidget* parent = nullptr);

    std::shared_ptr<hb::TrackingArea> trackingArea;
    bool beganScrolling = false;

    void ensureTrackingArea();
    void updateTrackingAreas();
    const hb::TrackingAreas& trackingAreas() const { return m_trackingAreas; }

signals:
    void mouseEntered();
    void mouseExited();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    hb::TrackingAreas m_trackingAreas;
};
