#include "mainwindow/grid/HBCollectionView.h"

#include "core/store/HBConstants.h"
#include "core/store/HBLocationEntry.h"
#include "mainwindow/grid/HBCollectionViewItem.h"
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
        trackingArea = std::make_shared<hb::TrackingArea>(hb::TrackingArea{rect(), hb::NSTrackingMouseEnteredAndExited
                                                                                       | hb::NSTrackingActiveInKeyWindow
                                                                                       | hb::NSTrackingAssumeInside});
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
    if (holdsCopyModifier(event.modifierFlags)) {
        optionPressed = true;
        changeCursor(hb::NSDragOperationCopy);
    } else if (optionPressed) {
        optionPressed = false;
        changeCursor(hb::NSDragOperationMove);
    }
}

void HBCollectionView::syncModifiers()
{
    if (!modifierMonitor)
        return;
    const std::uint64_t held = hb::currentModifierFlags();
    if (holdsCopyModifier(held) != optionPressed)
        modifierPressed(hb::Event{hb::EventType::flagsChanged, held, 0, {}});
}

// --- Mode and cursor ----------------------------------------------------------------------------

void HBCollectionView::changeCursor(std::int64_t operation)
{
    oldCursorState = operation;
    hb::CursorStack::pop();
    constexpr auto move = static_cast<std::int64_t>(hb::NSDragOperationMove);
    constexpr auto copy = static_cast<std::int64_t>(hb::NSDragOperationCopy);
    // The mode stays the person's choice; only the look tells that this tile's folder takes a copy.
    const std::int64_t shown = operation == move && m_copyLook ? copy : operation;
    if (hb::UserDefaults::standard().boolForKey(sourceAvailableDefaultsKey)) {
        const QRect visible = visibleRect();
        if (shown == move) {
            if (hb::CursorStack::current() == copyCursor.shape()) {
                hb::CursorRects::removeCursorRect(*this, visible, copyCursor);
                hb::CursorStack::pop();
            }
            if (isMouseInView)
                hb::CursorStack::push(moveCursor);
            hb::CursorRects::addCursorRect(*this, visible, moveCursor);
        } else if (shown == copy) {
            if (isMouseInView)
                hb::CursorStack::push(copyCursor);
            hb::CursorRects::addCursorRect(*this, visible, copyCursor);
        }
    }
    currentDragOperation = operation;
    updateLook();
}

void HBCollectionView::resetCursorRects()
{
    // The rectangles are rebuilt from the last mode; after a reset there is none to rebuild.
    if (const std::optional<Qt::CursorShape> shape = hb::CursorRects::cursorOf(*this))
        hb::CursorRects::removeCursorRect(*this, visibleRect(), QCursor(*shape));
    if (oldCursorState)
        changeCursor(*oldCursorState);
}

// --- What a click does ---------------------------------------------------------------------------

void HBCollectionView::setHeldItems(const QList<hb::URL>& items)
{
    m_heldVolumes = HBHeldVolumes(items);
    m_copiesInto.clear();
    updateLook();
}

bool HBCollectionView::clickCopiesInto(const QString& folderPath)
{
    if (m_heldVolumes.isEmpty() || folderPath.isEmpty())
        return false;
    const auto known = m_copiesInto.constFind(folderPath);
    if (known != m_copiesInto.constEnd())
        return *known;
    const bool copies = m_heldVolumes.anyOnAnotherVolumeThan(hb::URL::fileURLWithPath(folderPath, true));
    m_copiesInto.insert(folderPath, copies);
    return copies;
}

void HBCollectionView::tileHovered(HBCollectionViewItem* tile, bool hovered)
{
    if (hovered) {
        m_hoveredTile = tile;
        syncModifiers();
    } else if (m_hoveredTile == tile) {
        m_hoveredTile = nullptr;
    }
    updateLook();
}

void HBCollectionView::tileFocused(HBCollectionViewItem* tile, bool focused)
{
    if (focused)
        m_focusedTile = tile;
    else if (m_focusedTile == tile)
        m_focusedTile = nullptr;
    updateLook();
}

HBCollectionViewItem* HBCollectionView::pointedTile() const
{
    return m_hoveredTile ? m_hoveredTile.data() : m_focusedTile.data();
}

void HBCollectionView::updateLook()
{
    HBCollectionViewItem* tile = pointedTile();
    const bool held = hb::UserDefaults::standard().boolForKey(sourceAvailableDefaultsKey);
    const bool folder = tile && held && !tile->isAction() && tile->isPermitted();
    const HBLocationEntry entry = folder ? tile->locationEntry() : HBLocationEntry();
    const bool crossVolume = folder && clickCopiesInto(entry.value(HBLocationEntryKey::path));
    if (crossVolume != m_copyLook) {
        m_copyLook = crossVolume;
        if (oldCursorState) {
            changeCursor(*oldCursorState);  // comes back here with the look in force
            return;
        }
    }
    QString hint;
    if (folder) {
        const QString name = QLatin1Char('"') + entry.value(HBLocationEntryKey::name) + QLatin1Char('"');
        if (crossVolume)
            hint = QStringLiteral("click copies them to %1, on another drive").arg(name);
        else if (currentDragOperation == static_cast<std::int64_t>(hb::NSDragOperationCopy))
            hint = QStringLiteral("click copies them to %1").arg(name);
        else
            hint = QStringLiteral("click moves them to %1 (hold Ctrl to copy)").arg(name);
    }
    if (hint == m_clickHint)
        return;
    m_clickHint = hint;
    emit clickHintChanged(hint);
}

// --- Drags over the grid --------------------------------------------------------------------------

std::uint64_t HBCollectionView::draggingEntered(hb::DraggingInfo& info)
{
    stopTimer();
    const std::uint64_t operation = hb::CollectionView::draggingEntered(info);
    lightDropTarget(&info);
    return operation;
}

std::uint64_t HBCollectionView::draggingUpdated(hb::DraggingInfo& info)
{
    const std::uint64_t operation = hb::CollectionView::draggingUpdated(info);
    lightDropTarget(&info);
    return operation;
}

bool HBCollectionView::performDragOperation(hb::DraggingInfo& info)
{
    lightDropTarget(nullptr);
    return hb::CollectionView::performDragOperation(info);
}

void HBCollectionView::draggingExited(hb::DraggingInfo* info)
{
    lightDropTarget(nullptr);
    startTimer();
    hb::CollectionView::draggingExited(info);
}

void HBCollectionView::lightDropTarget(const hb::DraggingInfo* info)
{
    // Files light the folder tile they would be dropped on; a reordered tile leaves its gap instead.
    const bool files = info && info->draggingPasteboard().containsType(hb::fileURLPasteboardType)
                       && !info->draggingPasteboard().containsType(reorderPasteboardType);
    const std::int64_t index = files ? dropTargetIndex() : -1;
    auto* tile = index >= 1 ? qobject_cast<HBCollectionViewItem*>(itemAtIndex(index)) : nullptr;
    if (tile == m_litTile)
        return;
    if (m_litTile)
        m_litTile->setDropHighlight(false);
    m_litTile = tile;
    if (tile)
        tile->setDropHighlight(true);
}

void HBCollectionView::startTimer()
{
    if (timer && timer->isValid())
        return;
    timer = std::make_unique<hb::RepeatingTimer>(
        autoscrollInterval, [this] { scrollBy(); }, false);
    timer->start();
}

void HBCollectionView::scrollBy()
{
    autoscroll(QCursor::pos());
}

void HBCollectionView::draggingEnded(hb::DraggingInfo* info)
{
    lightDropTarget(nullptr);
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

void HBCollectionView::mouseEntered()
{
    isMouseInView = true;
}

void HBCollectionView::mouseExited()
{
    isMouseInView = false;
}

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
