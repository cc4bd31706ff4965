#pragma once

#include "platform/interface/DraggingInfo.h"

#include <QPointer>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class QAbstractScrollArea;
class QMouseEvent;

namespace hb {

class CollectionView;
using IndexSet = std::set<std::int64_t>;

// Where a drop lands: on an item, or in the gap before it.
enum class CollectionViewDropOperation : int { on = 0, before = 1 };

// One tile of a grid. A tile is its own view; the grid makes its tiles from a prototype and hands each
// the element of the content it shows. Assistive technologies see a tile as a list item, or as a button
// when it offers actions.
class CollectionViewItem : public QWidget {
    Q_OBJECT
public:
    explicit CollectionViewItem(QWidget* parent = nullptr);

    const QVariant& representedObject() const { return m_representedObject; }
    virtual void setRepresentedObject(const QVariant& object) { m_representedObject = object; }

    CollectionView* collectionView() const;  // the grid showing it; none outside one
    bool isSelected() const { return m_selected; }
    virtual void setSelected(bool selected) { m_selected = selected; }

    // What assistive technologies may do with the tile, by the names of QAccessibleActionInterface
    // (pressAction(), showMenuAction(), ...); none by default.
    virtual QStringList accessibilityActionNames() const { return {}; }
    virtual void accessibilityPerformAction(const QString& name) { Q_UNUSED(name) }

protected:
    // The grid's own handling of a press on the tile (selection, the start of a drag). The default
    // mouse handlers pass every event on; a tile that overrides them decides which events the grid sees.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QVariant m_representedObject;
    bool m_selected = false;
};

// What the grid asks its owner while tiles are dragged and things are dropped on it. Every call has a
// default: tiles may be dragged but nothing is written, so no drag starts; drops are refused.
class CollectionViewDelegate {
public:
    virtual ~CollectionViewDelegate() = default;

    virtual bool collectionViewCanDragItemsAtIndexes(CollectionView& collectionView, const IndexSet& indexes,
                                                     const QMouseEvent& event);
    virtual bool collectionViewWriteItemsAtIndexesToPasteboard(CollectionView& collectionView, const IndexSet& indexes,
                                                               DraggingPasteboard& pasteboard);
    // May change the proposed index and drop operation; answers the operation the drop would make.
    virtual std::uint64_t collectionViewValidateDrop(CollectionView& collectionView, DraggingInfo& draggingInfo,
                                                     std::int64_t& proposedDropIndex,
                                                     CollectionViewDropOperation& proposedDropOperation);
    virtual bool collectionViewAcceptDrop(CollectionView& collectionView, DraggingInfo& draggingInfo,
                                          std::int64_t index, CollectionViewDropOperation dropOperation);
    // A drag of tiles ended: the operation done, none when it was refused or dropped elsewhere.
    virtual void collectionViewDraggingSessionEnded(CollectionView& collectionView, const QPoint& screenPoint,
                                                    std::uint64_t operation);
};

// A grid of tiles of one size, filled row by row with as many columns as fit. Tiles are made from the
// prototype, one per element of the content, kept when the content changes (a tile gets the new element
// of its index) and dropped only when the content shrinks. Drops of the registered types are offered to
// the delegate; a press on a tile passed on to the grid may start a drag of that tile. GUI thread only.
class CollectionView : public QWidget {
    Q_OBJECT
public:
    explicit CollectionView(QWidget* parent = nullptr);
    ~CollectionView() override;

    using ItemPrototype = std::function<std::unique_ptr<CollectionViewItem>()>;
    void setItemPrototype(ItemPrototype prototype);  // tiles made so far stay

    const QVariantList& content() const { return m_content; }
    void setContent(const QVariantList& content);
    std::int64_t numberOfItems() const { return static_cast<std::int64_t>(m_items.size()); }
    CollectionViewItem* itemAtIndex(std::int64_t index) const;       // none past the end
    std::int64_t indexOfItem(const CollectionViewItem* item) const;  // -1 for a stranger
    std::int64_t indexOfItemAtPoint(const QPoint& point) const;      // -1 between or past the tiles
    QRect frameForItemAtIndex(std::int64_t index) const;             // empty past the end

    QSize itemSize() const { return m_itemSize; }
    void setItemSize(const QSize& size);
    int spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    int numberOfColumns() const;

    void setSelectable(bool selectable) { m_selectable = selectable; }
    bool allowsMultipleSelection() const { return m_allowsMultipleSelection; }
    void setAllowsMultipleSelection(bool allows) { m_allowsMultipleSelection = allows; }
    const IndexSet& selectionIndexes() const { return m_selection; }
    void setSelectionIndexes(const IndexSet& indexes);  // indexes past the end are dropped

    CollectionViewDelegate* delegate() const { return m_delegate; }
    void setDelegate(CollectionViewDelegate* delegate) { m_delegate = delegate; }
    void registerForDraggedTypes(const QStringList& types);

    // Keyboard focus in its window, on the grid or on one of its tiles, whether or not that window is
    // active. The arrow keys move the focus from tile to tile among those that take it.
    virtual bool acceptsFirstResponder() const { return true; }
    bool isFirstResponder() const;
    bool makeFirstResponder();  // false when it does not accept

    // The part of the grid its scroll view shows, in the grid's coordinates.
    QRect visibleRect() const;
    // Scrolls toward a pointer that lies beyond the visible part; answers whether it moved.
    bool autoscroll(const QPoint& globalPosition);

    // The grid's handling of presses on a tile (CollectionViewItem's default handlers come here).
    void mouseDownOnItem(CollectionViewItem& item, const QMouseEvent& event);
    void mouseDraggedOnItem(CollectionViewItem& item, const QMouseEvent& event);
    void mouseUpOnItem(CollectionViewItem& item, const QMouseEvent& event);

    // What a person does with a drag of tiles once it starts: answers the operation done (none for a
    // drop refused or made elsewhere) and where it ended. The default runs a real drag; tests script it.
    struct DragOutcome {
        std::uint64_t operation = NSDragOperationNone;
        QPoint screenPoint;
    };
    using DragPerformer
        = std::function<DragOutcome(CollectionView&, const DraggingPasteboard&, std::uint64_t allowedOperations)>;
    static void setDragPerformer(DragPerformer performer);  // null restores the real drag
    bool isDraggingItems() const { return m_draggingItems; }

    // The tile a drop would land on now (on it, and validated); -1 when none.
    std::int64_t dropTargetIndex() const;

    // Drop handling, called by Qt's drag events and usable directly. draggingEntered and draggingUpdated
    // answer the operation the delegate validates (none for unregistered types); performDragOperation
    // hands the drop to the delegate at the last validated index.
    virtual std::uint64_t draggingEntered(DraggingInfo& info);
    virtual std::uint64_t draggingUpdated(DraggingInfo& info);
    virtual void draggingExited(DraggingInfo* info);
    virtual bool performDragOperation(DraggingInfo& info);
    // The drag that was over the grid (or that the grid started) is over.
    virtual void draggingEnded(DraggingInfo* info);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void selectionIndexesChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    struct Proposal {
        std::int64_t index = -1;
        CollectionViewDropOperation operation = CollectionViewDropOperation::on;
        std::uint64_t validated = NSDragOperationNone;  // what the delegate answered for it
    };
    bool offersRegisteredType(const DraggingInfo& info) const;
    Proposal proposalAt(const QPointF& point) const;
    std::uint64_t validate(DraggingInfo& info);
    void layoutItems();
    int columnsForWidth(int width) const;
    int leftMargin(int columns) const;
    void startDrag(CollectionViewItem& item);
    bool focusItemNextTo(int key);
    QAbstractScrollArea* enclosingScrollArea() const;

    ItemPrototype m_prototype;
    QVariantList m_content;
    std::vector<std::unique_ptr<CollectionViewItem>> m_items;
    QSize m_itemSize{100, 100};
    int m_spacing = 4;
    bool m_selectable = false;
    bool m_allowsMultipleSelection = false;
    IndexSet m_selection;
    CollectionViewDelegate* m_delegate = nullptr;
    QStringList m_draggedTypes;
    Proposal m_lastProposal;
    QPointer<CollectionViewItem> m_pressedItem;
    std::unique_ptr<QMouseEvent> m_pressEvent;
    bool m_draggingItems = false;
    bool m_dragFromOutside = false;
};

}  // namespace hb
