#pragma once

#include "platform/interface/CollectionView.h"
#include "platform/interface/EventMonitor.h"
#include "platform/interface/RepeatingTimer.h"
#include "platform/interface/TrackingArea.h"

#include <QCursor>

#include <cstdint>
#include <memory>
#include <optional>

// The destination grid. Besides laying out the tiles it keeps the mode of the next tile click: move
// (16) once a source is held, copy (1) while Option (Alt) is held with the modifier monitor installed.
// It scrolls by itself while something dragged is outside it, and a press in it never moves the window.
// Its delegate, dragged types and content belong to the main view controller.
class HBCollectionView : public hb::CollectionView {
    Q_OBJECT
public:
    explicit HBCollectionView(QWidget* parent = nullptr);
    ~HBCollectionView() override;

    std::unique_ptr<hb::RepeatingTimer> timer;           // autoscroll while a drag is outside
    std::optional<hb::EventMonitor::Token> modifierMonitor;
    bool optionPressed = false;
    QCursor copyCursor{Qt::DragCopyCursor};
    QCursor moveCursor{Qt::PointingHandCursor};
    std::shared_ptr<hb::TrackingArea> trackingArea;
    bool isMouseInView = true;
    bool beganScrolling = false;
    std::optional<std::int64_t> oldCursorState = 0;   // the last mode given to changeCursor; none after a reset
    std::int64_t currentDragOperation = 0;             // 1 copy, 16 move, 0 none yet

    void ensureTrackingArea();
    bool acceptsFirstResponder() const override { return true; }
    // Installs the Option monitor, only while the grid is first responder and none is installed.
    void addMonitor();
    void removeMonitor();  // also forgets a held Option
    bool mouseDownCanMoveWindow() const { return false; }

    std::uint64_t draggingEntered(hb::DraggingInfo& info) override;
    void draggingExited(hb::DraggingInfo* info) override;
    void startTimer();
    void scrollBy();
    void draggingEnded(hb::DraggingInfo* info) override;

    void updateTrackingAreas();
    const hb::TrackingAreas& trackingAreas() const { return m_trackingAreas; }
    void mouseEntered();
    void mouseExited();

    // Option down: copy mode; Option released after it was seen down: move mode.
    void modifierPressed(const hb::Event& event);
    std::int64_t getCurrentOperation() const { return currentDragOperation; }
    // Sets the mode and, while a source is held, the cursor over the grid.
    void changeCursor(std::int64_t operation);
    void resetCursorRects();

protected:
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void stopTimer();

    hb::TrackingAreas m_trackingAreas;
};
