#include "platform/interface/CollectionView.h"

#include "platform/interface/AccessibleInterface.h"

#include <QAbstractScrollArea>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

namespace hb {

// --- CollectionViewItem -------------------------------------------------------------------------

namespace {

// A tile to assistive technologies: a list item, or a button with the tile's own actions.
class AccessibleItem : public QAccessibleWidget {
public:
    explicit AccessibleItem(CollectionViewItem* item)
        : QAccessibleWidget(item,
                            item->accessibilityActionNames().isEmpty() ? QAccessible::ListItem : QAccessible::Button)
    {
    }

    QStringList actionNames() const override
    {
        return item()->accessibilityActionNames() + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& actionName) override
    {
        if (item()->accessibilityActionNames().contains(actionName))
            item()->accessibilityPerformAction(actionName);
        else
            QAccessibleWidget::doAction(actionName);
    }

private:
    CollectionViewItem* item() const { return static_cast<CollectionViewItem*>(widget()); }
};

}  // namespace

CollectionViewItem::CollectionViewItem(QWidget* parent) : QWidget(parent)
{
    installAccessibleInterface<CollectionViewItem, AccessibleItem>();
}

CollectionView* CollectionViewItem::collectionView() const
{
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto* grid = qobject_cast<CollectionView*>(ancestor))
            return grid;
    }
    return nullptr;
}

void CollectionViewItem::mousePressEvent(QMouseEvent* event)
{
    if (CollectionView* grid = collectionView())
        grid->mouseDownOnItem(*this, *event);
    event->accept();
}

void CollectionViewItem::mouseMoveEvent(QMouseEvent* event)
{
    if (CollectionView* grid = collectionView())
        grid->mouseDraggedOnItem(*this, *event);
    event->accept();
}

void CollectionViewItem::mouseReleaseEvent(QMouseEvent* event)
{
    if (CollectionView* grid = collectionView())
        grid->mouseUpOnItem(*this, *event);
    event->accept();
}

// --- CollectionViewDelegate defaults ------------------------------------------------------------

bool CollectionViewDelegate::collectionViewCanDragItemsAtIndexes(CollectionView&, const IndexSet&, const QMouseEvent&)
{
    return true;
}

bool CollectionViewDelegate::collectionViewWriteItemsAtIndexesToPasteboard(CollectionView&, const IndexSet&,
                                                                           DraggingPasteboard&)
{
    return false;
}

std::uint64_t CollectionViewDelegate::collectionViewValidateDrop(CollectionView&, DraggingInfo&, std::int64_t&,
                                                                 CollectionViewDropOperation&)
{
    return NSDragOperationNone;
}

bool CollectionViewDelegate::collectionViewAcceptDrop(CollectionView&, DraggingInfo&, std::int64_t,
                                                      CollectionViewDropOperation)
{
    return false;
}

void CollectionViewDelegate::collectionViewDraggingSessionEnded(CollectionView&, const QPoint&, std::uint64_t) {}

// --- CollectionView -----------------------------------------------------------------------------

namespace {
CollectionView::DragPerformer& dragPerformer()
{
    static CollectionView::DragPerformer performer;
    return performer;
}
}  // namespace

CollectionView::CollectionView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

CollectionView::~CollectionView() = default;

void CollectionView::setDragPerformer(DragPerformer performer)
{
    dragPerformer() = std::move(performer);
}

void CollectionView::setItemPrototype(ItemPrototype prototype)
{
    m_prototype = std::move(prototype);
}

void CollectionView::setContent(const QVariantList& content)
{
    m_content = content;
    const auto count = static_cast<std::size_t>(content.size());
    if (m_items.size() > count) {
        if (m_pressedItem && indexOfItem(m_pressedItem) >= static_cast<std::int64_t>(count))
            m_pressedItem = nullptr;
        // A tile may be handling the very event that shrank the content: let it finish first.
        for (std::size_t index = count; index < m_items.size(); ++index) {
            m_items[index]->hide();
            m_items[index].release()->deleteLater();
        }
        m_items.resize(count);
    }
    for (std::size_t index = 0; index < count; ++index) {
        if (index == m_items.size()) {
            std::unique_ptr<CollectionViewItem> item = m_prototype ? m_prototype()
                                                                   : std::make_unique<CollectionViewItem>();
            if (!item)
                item = std::make_unique<CollectionViewItem>();
            item->setParent(this);
            item->show();
            m_items.push_back(std::move(item));
        }
        m_items[index]->setRepresentedObject(content[static_cast<qsizetype>(index)]);
    }
    IndexSet kept;
    for (std::int64_t index : m_selection) {
        if (index < numberOfItems())
            kept.insert(index);
    }
    if (kept != m_selection)
        setSelectionIndexes(kept);
    layoutItems();
    updateGeometry();
}

CollectionViewItem* CollectionView::itemAtIndex(std::int64_t index) const
{
    if (index < 0 || index >= numberOfItems())
        return nullptr;
    return m_items[static_cast<std::size_t>(index)].get();
}

std::int64_t CollectionView::indexOfItem(const CollectionViewItem* item) const
{
    for (std::size_t index = 0; index < m_items.size(); ++index) {
        if (m_items[index].get() == item)
            return static_cast<std::int64_t>(index);
    }
    return -1;
}

std::int64_t CollectionView::indexOfItemAtPoint(const QPoint& point) const
{
    for (std::int64_t index = 0; index < numberOfItems(); ++index) {
        if (frameForItemAtIndex(index).contains(point))
            return index;
    }
    return -1;
}

int CollectionView::columnsForWidth(int width) const
{
    const int step = m_itemSize.width() + m_spacing;
    return std::max(1, step > 0 ? (width + m_spacing) / step : 1);
}

int CollectionView::numberOfColumns() const
{
    return columnsForWidth(width());
}

int CollectionView::leftMargin(int columns) const
{
    const int used = columns * m_itemSize.width() + (columns - 1) * m_spacing;
    return std::max(0, (width() - used) / 2);
}

QRect CollectionView::frameForItemAtIndex(std::int64_t index) const
{
    if (index < 0 || index >= numberOfItems())
        return {};
    const int columns = numberOfColumns();
    const int row = static_cast<int>(index / columns);
    const int column = static_cast<int>(index % columns);
    return QRect(leftMargin(columns) + column * (m_itemSize.width() + m_spacing),
                 m_spacing + row * (m_itemSize.height() + m_spacing), m_itemSize.width(), m_itemSize.height());
}

void CollectionView::setItemSize(const QSize& size)
{
    m_itemSize = size;
    layoutItems();
    updateGeometry();
}

void CollectionView::setSpacing(int spacing)
{
    m_spacing = std::max(0, spacing);
    layoutItems();
    updateGeometry();
}

int CollectionView::heightForWidth(int width) const
{
    const int columns = columnsForWidth(width);
    const auto rows = static_cast<int>((numberOfItems() + columns - 1) / columns);
    return m_spacing + rows * (m_itemSize.height() + m_spacing);
}

QSize CollectionView::sizeHint() const
{
    const int width = 3 * m_itemSize.width() + 4 * m_spacing;
    return QSize(width, heightForWidth(width));
}

void CollectionView::layoutItems()
{
    for (std::int64_t index = 0; index < numberOfItems(); ++index)
        m_items[static_cast<std::size_t>(index)]->setGeometry(frameForItemAtIndex(index));
}

void CollectionView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutItems();
}

void CollectionView::setSelectionIndexes(const IndexSet& indexes)
{
    IndexSet chosen;
    for (std::int64_t index : indexes) {
        if (index >= 0 && index < numberOfItems())
            chosen.insert(index);
    }
    if (chosen == m_selection)
        return;
    m_selection = chosen;
    for (std::int64_t index = 0; index < numberOfItems(); ++index)
        m_items[static_cast<std::size_t>(index)]->setSelected(m_selection.count(index) > 0);
    emit selectionIndexesChanged();
}

void CollectionView::registerForDraggedTypes(const QStringList& types)
{
    for (const QString& type : types) {
        if (!m_draggedTypes.contains(type))
            m_draggedTypes << type;
    }
    setAcceptDrops(!m_draggedTypes.isEmpty());
}

bool CollectionView::isFirstResponder() const
{
    const QWidget* top = window();
    const QWidget* focus = top ? top->focusWidget() : nullptr;
    return focus && (focus == this || isAncestorOf(focus));
}

void CollectionView::keyPressEvent(QKeyEvent* event)
{
    // A tile passes on the keys it does not handle itself.
    if (focusItemNextTo(event->key())) {
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool CollectionView::focusItemNextTo(int key)
{
    const auto columns = static_cast<std::int64_t>(numberOfColumns());
    std::int64_t step = 0;
    switch (key) {
    case Qt::Key_Left:
        step = -1;
        break;
    case Qt::Key_Right:
        step = 1;
        break;
    case Qt::Key_Up:
        step = -columns;
        break;
    case Qt::Key_Down:
        step = columns;
        break;
    default:
        return false;
    }
    const QWidget* focus = window()->focusWidget();
    std::int64_t from = -1;
    for (std::int64_t index = 0; index < numberOfItems(); ++index) {
        const CollectionViewItem* item = m_items[static_cast<std::size_t>(index)].get();
        if (item == focus || item->isAncestorOf(focus))
            from = index;
    }
    // From the grid itself the first tile takes the focus; at an edge the focus stays.
    const std::int64_t to = from < 0 ? 0 : from + step;
    if (to < 0 || to >= numberOfItems())
        return from >= 0;
    CollectionViewItem* target = m_items[static_cast<std::size_t>(to)].get();
    if (!(target->focusPolicy() & Qt::TabFocus))
        return false;
    target->setFocus(Qt::TabFocusReason);
    if (auto* area = qobject_cast<QScrollArea*>(enclosingScrollArea()))
        area->ensureWidgetVisible(target, 0, m_spacing);
    return true;
}

bool CollectionView::makeFirstResponder()
{
    if (!acceptsFirstResponder() || !isEnabled())
        return false;
    setFocus(Qt::OtherFocusReason);
    return isFirstResponder();
}

QAbstractScrollArea* CollectionView::enclosingScrollArea() const
{
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto* area = qobject_cast<QAbstractScrollArea*>(ancestor))
            return area;
    }
    return nullptr;
}

QRect CollectionView::visibleRect() const
{
    const QAbstractScrollArea* area = enclosingScrollArea();
    if (!area)
        return rect();
    const QWidget* viewport = area->viewport();
    return QRect(mapFrom(viewport, QPoint(0, 0)), viewport->size()).intersected(rect());
}

bool CollectionView::autoscroll(const QPoint& globalPosition)
{
    QAbstractScrollArea* area = enclosingScrollArea();
    if (!area)
        return false;
    const QPoint point = area->viewport()->mapFromGlobal(globalPosition);
    const QSize size = area->viewport()->size();
    // Farther out scrolls faster, within bounds.
    auto step = [](int distance) { return std::clamp(distance, 4, 40); };
    auto scroll = [](QScrollBar* bar, int delta) {
        const int before = bar->value();
        bar->setValue(before + delta);
        return bar->value() != before;
    };
    bool moved = false;
    if (point.y() < 0)
        moved = scroll(area->verticalScrollBar(), -step(-point.y())) || moved;
    else if (point.y() >= size.height())
        moved = scroll(area->verticalScrollBar(), step(point.y() - size.height() + 1)) || moved;
    if (point.x() < 0)
        moved = scroll(area->horizontalScrollBar(), -step(-point.x())) || moved;
    else if (point.x() >= size.width())
        moved = scroll(area->horizontalScrollBar(), step(point.x() - size.width() + 1)) || moved;
    return moved;
}

// --- Presses and dragging tiles -----------------------------------------------------------------

void CollectionView::mouseDownOnItem(CollectionViewItem& item, const QMouseEvent& event)
{
    const std::int64_t index = indexOfItem(&item);
    if (index < 0 || event.button() != Qt::LeftButton)
        return;
    if (m_selectable) {
        IndexSet selection{index};
        if (m_allowsMultipleSelection && (event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier))) {
            selection = m_selection;
            if (!selection.erase(index))
                selection.insert(index);
        }
        setSelectionIndexes(selection);
    }
    m_pressedItem = &item;
    m_pressEvent.reset(static_cast<QMouseEvent*>(event.clone()));
}

void CollectionView::mouseDraggedOnItem(CollectionViewItem& item, const QMouseEvent& event)
{
    if (m_pressedItem != &item || !m_pressEvent || m_draggingItems)
        return;
    const QPointF moved = event.globalPosition() - m_pressEvent->globalPosition();
    if (moved.manhattanLength() < QApplication::startDragDistance())
        return;
    startDrag(item);
}

void CollectionView::mouseUpOnItem(CollectionViewItem&, const QMouseEvent&)
{
    m_pressedItem = nullptr;
    m_pressEvent.reset();
}

void CollectionView::startDrag(CollectionViewItem& item)
{
    const std::unique_ptr<QMouseEvent> press = std::move(m_pressEvent);
    m_pressedItem = nullptr;
    const std::int64_t index = indexOfItem(&item);
    IndexSet indexes{index};
    if (m_selection.count(index) && m_allowsMultipleSelection)
        indexes = m_selection;
    if (!m_delegate || !m_delegate->collectionViewCanDragItemsAtIndexes(*this, indexes, *press))
        return;
    DraggingPasteboard pasteboard;
    if (!m_delegate->collectionViewWriteItemsAtIndexesToPasteboard(*this, indexes, pasteboard))
        return;

    const std::uint64_t allowed = NSDragOperationMove | NSDragOperationCopy;
    m_draggingItems = true;
    DragOutcome outcome;
    if (dragPerformer()) {
        outcome = dragPerformer()(*this, pasteboard, allowed);
    } else {
        QPointer<QDrag> drag = new QDrag(this);
        drag->setMimeData(pasteboard.toMimeData().release());
        drag->setPixmap(item.grab());
        drag->setHotSpot(item.mapFromGlobal(press->globalPosition().toPoint()));
        const Qt::DropAction done = drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
        outcome.operation = dragOperationsFromQt(done);
        outcome.screenPoint = QCursor::pos();
    }
    m_draggingItems = false;
    m_delegate->collectionViewDraggingSessionEnded(*this, outcome.screenPoint, outcome.operation);
    draggingEnded(nullptr);
}

// --- Drops --------------------------------------------------------------------------------------

bool CollectionView::offersRegisteredType(const DraggingInfo& info) const
{
    const QStringList offered = info.draggingPasteboard().types();
    return std::any_of(m_draggedTypes.begin(), m_draggedTypes.end(),
                       [&](const QString& type) { return offered.contains(type); });
}

CollectionView::Proposal CollectionView::proposalAt(const QPointF& point) const
{
    Proposal proposal;
    const QPoint at = point.toPoint();
    for (std::int64_t index = 0; index < numberOfItems(); ++index) {
        const QRect frame = frameForItemAtIndex(index);
        if (!frame.contains(at))
            continue;
        // The outer fifth on either side is the gap beside the tile.
        const int edge = frame.width() / 5;
        if (at.x() < frame.left() + edge) {
            proposal = {index, CollectionViewDropOperation::before};
        } else if (at.x() > frame.right() - edge) {
            proposal = {index + 1, CollectionViewDropOperation::before};
        } else {
            proposal = {index, CollectionViewDropOperation::on};
        }
        return proposal;
    }
    // Between tiles or past the last one: before the tile whose place the point is nearest.
    const int columns = numberOfColumns();
    const int column = std::clamp(
        static_cast<int>((at.x() - leftMargin(columns) + m_itemSize.width() / 2) / (m_itemSize.width() + m_spacing)), 0,
        columns);
    const int row = std::max(0, (at.y() - m_spacing) / (m_itemSize.height() + m_spacing));
    proposal.index = std::min<std::int64_t>(static_cast<std::int64_t>(row) * columns + column, numberOfItems());
    proposal.operation = CollectionViewDropOperation::before;
    return proposal;
}

std::uint64_t CollectionView::validate(DraggingInfo& info)
{
    if (!offersRegisteredType(info) || !m_delegate) {
        m_lastProposal = {};
        return NSDragOperationNone;
    }
    Proposal proposal = proposalAt(info.draggingLocation());
    proposal.validated = m_delegate->collectionViewValidateDrop(*this, info, proposal.index, proposal.operation);
    m_lastProposal = proposal;
    return proposal.validated;
}

std::int64_t CollectionView::dropTargetIndex() const
{
    if (m_lastProposal.validated == NSDragOperationNone || m_lastProposal.operation != CollectionViewDropOperation::on)
        return -1;
    return m_lastProposal.index;
}

std::uint64_t CollectionView::draggingEntered(DraggingInfo& info)
{
    return validate(info);
}

std::uint64_t CollectionView::draggingUpdated(DraggingInfo& info)
{
    return validate(info);
}

void CollectionView::draggingExited(DraggingInfo*)
{
    m_lastProposal = {};
}

bool CollectionView::performDragOperation(DraggingInfo& info)
{
    if (!m_delegate || !offersRegisteredType(info) || m_lastProposal.validated == NSDragOperationNone)
        return false;
    return m_delegate->collectionViewAcceptDrop(*this, info, m_lastProposal.index, m_lastProposal.operation);
}

void CollectionView::draggingEnded(DraggingInfo*) {}

void CollectionView::dragEnterEvent(QDragEnterEvent* event)
{
    DraggingInfo info = DraggingInfo::fromDropEvent(*event);
    if (!offersRegisteredType(info)) {
        event->ignore();
        return;
    }
    m_dragFromOutside = !m_draggingItems;
    const std::uint64_t operation = draggingEntered(info);
    // Accepted even when refused here, so the moves that follow can be judged spot by spot.
    event->setDropAction(dropActionFromDragOperation(operation));
    event->accept();
}

void CollectionView::dragMoveEvent(QDragMoveEvent* event)
{
    DraggingInfo info = DraggingInfo::fromDropEvent(*event);
    const std::uint64_t operation = draggingUpdated(info);
    if (operation == NSDragOperationNone) {
        event->ignore();
        return;
    }
    event->setDropAction(dropActionFromDragOperation(operation));
    event->accept();
}

void CollectionView::dragLeaveEvent(QDragLeaveEvent* event)
{
    draggingExited(nullptr);
    event->accept();
    // Qt says nothing more of a drag from elsewhere once it has left: for the grid it has ended.
    if (m_dragFromOutside) {
        m_dragFromOutside = false;
        draggingEnded(nullptr);
    }
}

void CollectionView::dropEvent(QDropEvent* event)
{
    DraggingInfo info = DraggingInfo::fromDropEvent(*event);
    const std::uint64_t operation = m_lastProposal.validated;
    if (performDragOperation(info)) {
        event->setDropAction(dropActionFromDragOperation(operation));
        event->accept();
    } else {
        event->ignore();
    }
    m_lastProposal = {};
    if (m_dragFromOutside) {
        m_dragFromOutside = false;
        draggingEnded(&info);
    }
}

}  // namespace hb
