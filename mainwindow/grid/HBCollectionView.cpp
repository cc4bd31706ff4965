#include "mainwindow/grid/HBCollectionView.h"

#include "core/engine/HBConstants.h"
#include "platform/base/UserDefaults.h"
#include "platform/interface/CursorStack.h"

#include <QCursor>
#include <QPointer>

namespace {
constexpr std::chrono::milliseconds autoscrollInterval{50};
}

HBCollectionView::HBCollectionView(QWidget* parent) : hb::CollectionView(parent)
{
    setAccessibleName(QStringLiteral("Destinations"));
}

HBCollectionView::~HBCollectionView()
{
    if (modifierMonitor)
        hb::EventMonitor::removeMonitor(*modifierMonitor);
}

void HBCollectionView::ensureTrackingArea()
{
    if (!trackingArea) {
        trackingArea = std::make_shared<hb::TrackingArea>(hb::TrackingArea{
            rect(), hb::NSTrackingMouseEnteredAndExited | hb::NSTrackingActiveInKeyWindow | hb::NSTrackingAssumeInside});
    }
}

void HBCollectionView::updateTrackingAreas()
{
    ensureTrackingArea();
    if (!m_trackingAreas.contains(trackingArea))
        m_trackingAreas.add(trackingArea);
}

// --- Option key ---------------------------------------------------------------------------------

void HBCollectionView::addMonitor()
{
    if (modifierMonitor || !isFirstResponder())
        return;
    modifierMonitor = hb::EventMonitor::addLocalMonitorForEventsMatchingMask(
        hb::NSEventMaskFlagsChanged, [grid = QPointer<HBCollectionView>(this)](const hb::Event& event) {
            if (grid)
                grid->modifierPressed(event);
            return std::optional<hb::Event>(event);
        });
}

void HBCollectionView::removeMonitor()
{
    if (modifierMonitor) {
        hb::EventMonitor::removeMonitor(*modifierMonitor);
        modifierMonitor.reset();
    }
    optionPressed = false;
}

void HBCollectionView::modifierPressed(const hb::Event& event)
{
    if (event.modifierFlags & hb::NSEventModifierFlagOption) {
        optionPressed = true;
        changeCursor(hb::NSDragOperationCopy);
    } else if (optionPressed) {
        optionPressed = false;
        changeCursor(hb::NSDragOperationMove);
    }
}

// --- Mode and cursor ----------------------------------------------------------------------------

void HBCollectionView::changeCursor(std::int64_t operation)
{
    oldCursorState = operation;
    hb::CursorStack::pop();
    if (hb::UserDefaults::standard().boolForKey(sourceAvailableDefaultsKey)) {
        const QRect visible = visibleRect();
        if (operation == static_cast<std::int64_t>(hb::NSDragOperationMove)) {
            if (hb::CursorStack::current() == copyCursor.shape()) {
                hb::CursorRects::removeCursorRect(*this, visible, copyCursor);
                hb::CursorStack::pop();
            }
            if (isMouseInView)
                hb::CursorStack::push(moveCursor);
            hb::CursorRects::addCursorRect(*this, visible, moveCursor);
        } else if (operation == static_cast<std::int64_t>(hb::NSDragOperationCopy)) {
            if (isMouseInView)
                hb::CursorStack::push(copyCursor);
            hb::CursorRects::addCursorRect(*this, visible, copyCursor);
        }
    }
    currentDragOperation = operation;
}

void HBCollectionView::resetCursorRects()
{
    // The rectangles are rebuilt from the last mode; after a reset there is none to rebuild.
    if (const std::optional<Qt::CursorShape> shape = hb::CursorRects::cursorOf(*this))
        hb::CursorRects::removeCursorRect(*this, visibleRect(), QCursor(*shape));
    if (oldCursorState)
        changeCursor(*oldCursorState);
}

// --- Autoscroll ---------------------------------------------------------------------------------

std::uint64_t HBCollectionView::draggingEntered(hb::DraggingInfo& info)
{
    stopTimer();
    return hb::CollectionView::draggingEntered(info);
}

void HBCollectionView::draggingExited(hb::DraggingInfo* info)
{
    startTimer();
    hb::CollectionView::draggingExited(info);
}

void HBCollectionView::startTimer()
{
    if (timer && timer->isValid())
        return;
    timer = std::make_unique<hb::RepeatingTimer>(autoscrollInterval, [this] { scrollBy(); }, false);
    timer->start();
}

void HBCollectionView::scrollBy() { autoscroll(QCursor::pos()); }

void HBCollectionView::draggingEnded(hb::DraggingInfo* info)
{
    stopTimer();
    hb::CollectionView::draggingEnded(info);
}

void HBCollectionView::stopTimer()
{
    if (!timer)
        return;
    timer->invalidate();
    timer.reset();
}

// --- Pointer tracking ---------------------------------------------------------------------------

void HBCollectionView::mouseEntered() { isMouseInView = true; }

void HBCollectionView::mouseExited() { isMouseInView = false; }

void HBCollectionView::enterEvent(QEnterEvent* event)
{
    hb::CollectionView::enterEvent(event);
    if (m_trackingAreas.tracksEnteredAndExited())
        mouseEntered();
}

void HBCollectionView::leaveEvent(QEvent* event)
{
    hb::CollectionView::leaveEvent(event);
    if (m_trackingAreas.tracksEnteredAndExited())
        mouseExited();
}

void HBCollectionView::showEvent(QShowEvent* event)
{
    hb::CollectionView::showEvent(event);
    updateTrackingAreas();
    resetCursorRects();
}

void HBCollectionView::resizeEvent(QResizeEvent* event)
{
    hb::CollectionView::resizeEvent(event);
    resetCursorRects();
}
