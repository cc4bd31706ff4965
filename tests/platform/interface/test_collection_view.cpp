#include "TestEnvironment.h"

#include "platform/interface/CollectionView.h"
#include "platform/interface/DraggingInfo.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>

namespace {

using hb::CollectionView;
using hb::CollectionViewDropOperation;
using hb::CollectionViewItem;
using hb::DraggingInfo;
using hb::DraggingPasteboard;
using hb::IndexSet;

QVariantList numbers(int count)
{
    QVariantList content;
    for (int i = 0; i < count; ++i)
        content << i;
    return content;
}

// Records what the grid asks and answers as scripted.
class RecordingDelegate : public hb::CollectionViewDelegate {
public:
    bool canDrag = true;
    std::uint64_t validateAnswer = hb::NSDragOperationMove;
    std::optional<std::pair<std::int64_t, CollectionViewDropOperation>> validated;
    std::optional<std::pair<std::int64_t, CollectionViewDropOperation>> accepted;
    std::optional<IndexSet> written;
    std::optional<std::uint64_t> endedWith;

    bool collectionViewCanDragItemsAtIndexes(CollectionView&, const IndexSet&, const QMouseEvent&) override
    {
        return canDrag;
    }
    bool collectionViewWriteItemsAtIndexesToPasteboard(CollectionView&, const IndexSet& indexes,
                                                       DraggingPasteboard& pasteboard) override
    {
        written = indexes;
        pasteboard.declareTypes({"hb.public.data"});
        return pasteboard.setData("rows", "hb.public.data");
    }
    std::uint64_t collectionViewValidateDrop(CollectionView&, DraggingInfo&, std::int64_t& index,
                                             CollectionViewDropOperation& operation) override
    {
        validated = {index, operation};
        return validateAnswer;
    }
    bool collectionViewAcceptDrop(CollectionView&, DraggingInfo&, std::int64_t index,
                                  CollectionViewDropOperation operation) override
    {
        accepted = {index, operation};
        return true;
    }
    void collectionViewDraggingSessionEnded(CollectionView&, const QPoint&, std::uint64_t operation) override
    {
        endedWith = operation;
    }
};

QMouseEvent mouse(QEvent::Type type, CollectionViewItem& item, QPoint at)
{
    const QPointF global = item.mapToGlobal(QPointF(at));
    return QMouseEvent(type, QPointF(at), global, Qt::LeftButton,
                       type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
}

DraggingInfo dropOf(const QStringList& types, QPointF at)
{
    DraggingPasteboard pasteboard;
    pasteboard.declareTypes(types);
    return DraggingInfo(pasteboard, hb::NSDragOperationCopy | hb::NSDragOperationMove, at);
}

class CollectionViewTest : public HarbrillTest {
protected:
    void TearDown() override { CollectionView::setDragPerformer(nullptr); }
};

TEST_F(CollectionViewTest, TilesAreKeptAcrossContentChangesAndLaidOutInRowsOfWhatFits)
{
    CollectionView grid;
    grid.setItemSize(QSize(100, 100));
    grid.setSpacing(4);
    grid.resize(332, 400);
    grid.setContent(numbers(3));
    QPointer<CollectionViewItem> first = grid.itemAtIndex(0);
    QPointer<CollectionViewItem> third = grid.itemAtIndex(2);

    grid.setContent(QVariantList{"a", "b", "c", "d"});
    EXPECT_EQ(grid.itemAtIndex(0), first.data());
    EXPECT_EQ(grid.itemAtIndex(0)->representedObject(), "a");
    EXPECT_EQ(grid.numberOfColumns(), 3);
    EXPECT_EQ(grid.frameForItemAtIndex(3), QRect(12, 108, 100, 100));  // second row, centred block
    EXPECT_EQ(grid.indexOfItemAtPoint(QPoint(170, 50)), 1);
    EXPECT_EQ(grid.indexOfItemAtPoint(QPoint(114, 50)), -1);  // in the gap
    EXPECT_EQ(grid.heightForWidth(332), 4 + 2 * 104);

    grid.setSelectable(true);
    grid.setSelectionIndexes({1, 3});
    grid.setContent(numbers(2));
    EXPECT_EQ(grid.numberOfItems(), 2);
    EXPECT_EQ(grid.itemAtIndex(2), nullptr);
    EXPECT_EQ(grid.selectionIndexes(), IndexSet{1});
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(third.isNull());
}

TEST_F(CollectionViewTest, ADragOfATileStartsOnlyPastTheDragDistanceAndOnlyWhenTheDelegateAllowsAndWrites)
{
    CollectionView grid;
    grid.resize(332, 400);
    grid.setContent(numbers(4));
    RecordingDelegate delegate;
    grid.setDelegate(&delegate);
    int drags = 0;
    CollectionView::setDragPerformer([&](CollectionView& source, const DraggingPasteboard& pasteboard, std::uint64_t) {
        ++drags;
        EXPECT_TRUE(source.isDraggingItems());
        EXPECT_EQ(pasteboard.dataForType("hb.public.data"), QByteArray("rows"));
        return CollectionView::DragOutcome{hb::NSDragOperationNone, QPoint(1, 1)};
    });
    CollectionViewItem& item = *grid.itemAtIndex(2);

    grid.mouseDownOnItem(item, mouse(QEvent::MouseButtonPress, item, QPoint(50, 50)));
    grid.mouseDraggedOnItem(item, mouse(QEvent::MouseMove, item, QPoint(51, 50)));
    EXPECT_EQ(drags, 0);
    grid.mouseDraggedOnItem(item, mouse(QEvent::MouseMove, item, QPoint(80, 50)));
    EXPECT_EQ(drags, 1);
    EXPECT_EQ(delegate.written, IndexSet{2});
    EXPECT_EQ(delegate.endedWith, hb::NSDragOperationNone);
    EXPECT_FALSE(grid.isDraggingItems());

    // One press gives at most one drag; a released press gives none.
    grid.mouseDraggedOnItem(item, mouse(QEvent::MouseMove, item, QPoint(90, 50)));
    grid.mouseDownOnItem(item, mouse(QEvent::MouseButtonPress, item, QPoint(50, 50)));
    grid.mouseUpOnItem(item, mouse(QEvent::MouseButtonRelease, item, QPoint(50, 50)));
    grid.mouseDraggedOnItem(item, mouse(QEvent::MouseMove, item, QPoint(90, 50)));
    EXPECT_EQ(drags, 1);

    delegate.canDrag = false;
    delegate.written.reset();
    grid.mouseDownOnItem(item, mouse(QEvent::MouseButtonPress, item, QPoint(50, 50)));
    grid.mouseDraggedOnItem(item, mouse(QEvent::MouseMove, item, QPoint(90, 50)));
    EXPECT_EQ(drags, 1);
    EXPECT_FALSE(delegate.written);
}

TEST_F(CollectionViewTest, DropsOfRegisteredTypesAreProposedOnATileOrBeforeItAndAcceptedWhereLastValidated)
{
    CollectionView grid;
    grid.resize(332, 400);
    grid.setContent(numbers(5));
    RecordingDelegate delegate;
    grid.setDelegate(&delegate);
    grid.registerForDraggedTypes({"hb.public.data", hb::fileURLPasteboardType});

    struct Case {
        const char* name;
        QPointF at;
        std::int64_t index;
        CollectionViewDropOperation operation;
    };
    const Case cases[] = {
        {"middle of tile 1", {166, 54}, 1, CollectionViewDropOperation::on},
        {"left edge of tile 1", {118, 54}, 1, CollectionViewDropOperation::before},
        {"right edge of tile 1", {214, 54}, 2, CollectionViewDropOperation::before},
        {"gap between tiles 3 and 4", {114, 150}, 4, CollectionViewDropOperation::before},
        {"past the last tile", {300, 380}, 5, CollectionViewDropOperation::before},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DraggingInfo info = dropOf({hb::fileURLPasteboardType}, c.at);
        EXPECT_EQ(grid.draggingUpdated(info), hb::NSDragOperationMove);
        ASSERT_TRUE(delegate.validated);
        EXPECT_EQ(delegate.validated->first, c.index);
        EXPECT_EQ(delegate.validated->second, c.operation);
    }
    DraggingInfo onTile = dropOf({hb::fileURLPasteboardType}, {166, 160});
    grid.draggingUpdated(onTile);
    EXPECT_TRUE(grid.performDragOperation(onTile));
    EXPECT_EQ(delegate.accepted, std::make_pair(std::int64_t(4), CollectionViewDropOperation::on));

    delegate.validated.reset();
    delegate.accepted.reset();
    DraggingInfo stranger = dropOf({"text/plain"}, {166, 54});
    EXPECT_EQ(grid.draggingEntered(stranger), hb::NSDragOperationNone);
    EXPECT_FALSE(grid.performDragOperation(stranger));
    EXPECT_FALSE(delegate.validated);
    EXPECT_FALSE(delegate.accepted);

    delegate.validateAnswer = hb::NSDragOperationNone;  // a refused spot is not dropped on
    DraggingInfo refused = dropOf({hb::fileURLPasteboardType}, {166, 54});
    grid.draggingUpdated(refused);
    EXPECT_FALSE(grid.performDragOperation(refused));
    EXPECT_FALSE(delegate.accepted);
}

TEST_F(CollectionViewTest, FirstResponderFollowsKeyboardFocusOfItsWindow)
{
    QWidget window;
    auto* grid = new CollectionView(&window);
    auto* other = new QWidget(&window);
    other->setFocusPolicy(Qt::StrongFocus);
    window.show();
    other->setFocus();
    EXPECT_FALSE(grid->isFirstResponder());
    EXPECT_TRUE(grid->makeFirstResponder());
    EXPECT_TRUE(grid->isFirstResponder());
    other->setFocus();
    EXPECT_FALSE(grid->isFirstResponder());

    // A tile that takes the focus is part of the grid's; a tile without actions is a plain list item.
    grid->setContent(numbers(2));
    CollectionViewItem* item = grid->itemAtIndex(1);
    item->setFocusPolicy(Qt::TabFocus);
    item->setFocus();
    EXPECT_TRUE(grid->isFirstResponder());
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(item);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::ListItem);
}

TEST_F(CollectionViewTest, AutoscrollMovesTowardAPointerBeyondTheVisiblePartOnly)
{
    QScrollArea area;
    area.resize(340, 200);
    area.setWidgetResizable(true);
    auto* grid = new CollectionView;
    grid->setContent(numbers(12));
    area.setWidget(grid);
    area.show();
    ASSERT_TRUE(waitUntil([&] { return area.verticalScrollBar()->maximum() > 0; }));
    QWidget* viewport = area.viewport();
    EXPECT_FALSE(grid->autoscroll(viewport->mapToGlobal(QPoint(50, 50))));
    EXPECT_FALSE(grid->autoscroll(viewport->mapToGlobal(QPoint(50, -30))));  // already at the top
    EXPECT_TRUE(grid->autoscroll(viewport->mapToGlobal(QPoint(50, viewport->height() + 30))));
    EXPECT_GT(area.verticalScrollBar()->value(), 0);
    EXPECT_EQ(grid->visibleRect().top(), area.verticalScrollBar()->value());
}

TEST(DraggingPasteboard, FileURLsTravelAsAUriListAndOtherTypesUnderTheirOwnName)
{
    DraggingPasteboard pasteboard;
    EXPECT_FALSE(pasteboard.setData("x", "hb.public.data"));  // not declared
    pasteboard.declareTypes({"hb.public.data"});
    EXPECT_TRUE(pasteboard.setData("rows", "hb.public.data"));
    pasteboard.writeFileURLs({hb::URL::fileURLWithPath("/tmp/a b.txt"), hb::URL::fileURLWithPath("/tmp/c")});

    const std::unique_ptr<QMimeData> mime = pasteboard.toMimeData();
    EXPECT_EQ(mime->urls().size(), 2);
    EXPECT_EQ(mime->urls().first().toLocalFile(), "/tmp/a b.txt");

    QMimeData mixed;
    mixed.setUrls({QUrl::fromLocalFile("/tmp/x"), QUrl("https://example.org/y"), QUrl::fromLocalFile("/tmp/z")});
    mixed.setData("hb.public.data", "rows");
    const DraggingPasteboard back = DraggingPasteboard::fromMimeData(mixed);
    EXPECT_TRUE(back.containsType(hb::fileURLPasteboardType));
    EXPECT_EQ(back.dataForType("hb.public.data"), QByteArray("rows"));
    const QList<hb::URL> urls = back.fileURLs();
    ASSERT_EQ(urls.size(), 2);  // only local files
    EXPECT_EQ(urls[1].path(), "/tmp/z");

    EXPECT_EQ(hb::dragOperationsFromQt(Qt::CopyAction | Qt::MoveAction),
              hb::NSDragOperationCopy | hb::NSDragOperationMove);
    EXPECT_EQ(hb::dropActionFromDragOperation(hb::NSDragOperationCopy | hb::NSDragOperationMove), Qt::MoveAction);
    EXPECT_EQ(hb::dropActionFromDragOperation(hb::NSDragOperationNone), Qt::IgnoreAction);
}

}  // namespace
