#include "platform/interface/TableView.h"

#include "TestEnvironment.h"

#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// Rows of given heights; row views are labels named by their row, made through the identifier "Row".
class RowsDelegate : public hb::TableViewDataSource, public hb::TableViewDelegate {
public:
    std::vector<double> heights;
    std::set<std::int64_t> unselectable;
    int viewsMade = 0;

    std::int64_t numberOfRowsInTableView(hb::TableView&) override { return static_cast<std::int64_t>(heights.size()); }
    std::unique_ptr<QWidget> tableViewViewForRow(hb::TableView& table, std::int64_t row) override
    {
        ++viewsMade;
        auto label = table.makeViewWithIdentifier<QLabel>(QStringLiteral("Row"));
        label->setText(QString::number(row));
        return label;
    }
    double tableViewHeightOfRow(hb::TableView&, std::int64_t row) override { return heights[row]; }
    bool tableViewShouldSelectRow(hb::TableView&, std::int64_t row) override { return !unselectable.count(row); }
};

class ClickableDelegate : public RowsDelegate, public NSTableViewClickableDelegate {
public:
    std::vector<std::int64_t> clicked;
    void tableViewDidClickRow(hb::TableView&, std::int64_t row) override { clicked.push_back(row); }
};

class TableViewTest : public ::testing::Test {
protected:
    void show(RowsDelegate& delegate)
    {
        table.registerViewFactory(QStringLiteral("Row"), [] { return std::make_unique<QLabel>(); });
        table.setDataSource(&delegate);
        table.setDelegate(&delegate);
        table.reloadData();
        table.resize(200, table.sizeHint().height());
        table.show();
    }
    QPoint inRow(std::int64_t row) const { return table.rectOfRow(row).center(); }

    hb::TableView table;
};

TEST_F(TableViewTest, StacksRowsAtTheDelegatesHeights)
{
    RowsDelegate delegate;
    delegate.heights = {30, 50.5, 20};
    show(delegate);

    ASSERT_EQ(table.numberOfRows(), 3);
    EXPECT_EQ(table.rectOfRow(0), QRect(0, 0, 200, 30));
    EXPECT_EQ(table.rectOfRow(1).top(), 30);
    EXPECT_EQ(table.rectOfRow(2).bottom() + 1, 101);
    EXPECT_EQ(table.sizeHint().height(), 101);
    EXPECT_TRUE(table.rectOfRow(3).isEmpty());
    EXPECT_EQ(table.viewAtRow(1)->geometry(), table.rectOfRow(1));
    EXPECT_EQ(table.rowAtPoint({10, 29}), 0);
    EXPECT_EQ(table.rowAtPoint({10, 30}), 1);
    EXPECT_EQ(table.rowAtPoint({10, 101}), -1);
    EXPECT_EQ(table.rowAtPoint({-1, 10}), -1);
}

TEST_F(TableViewTest, APressReportsTheRowToAClickableDelegateAndSelectsNothing)
{
    ClickableDelegate delegate;
    delegate.heights = {30, 30, 30};
    show(delegate);
    table.resize(200, 200);  // room below the last row

    QTest::mouseClick(table.viewAtRow(2), Qt::LeftButton, {}, QPoint(5, 5));  // lands on the row view
    QTest::mouseClick(&table, Qt::LeftButton, {}, inRow(0));
    QTest::mouseClick(&table, Qt::LeftButton, {}, QPoint(10, 150));  // below the rows

    EXPECT_EQ(delegate.clicked, (std::vector<std::int64_t>{2, 0}));
    EXPECT_TRUE(table.selectedRowIndexes().empty());
}

TEST_F(TableViewTest, APressOnAPlainDelegatesTableNeitherSelectsNorCalls)
{
    RowsDelegate delegate;
    delegate.heights = {30, 30};
    show(delegate);
    QTest::mouseClick(&table, Qt::LeftButton, {}, inRow(1));
    EXPECT_TRUE(table.selectedRowIndexes().empty());
}

TEST_F(TableViewTest, APressOnAButtonInARowIsTheButtonsOnly)
{
    ClickableDelegate delegate;
    delegate.heights = {40};
    table.registerViewFactory(QStringLiteral("Row"), [] { return std::make_unique<QLabel>(); });
    show(delegate);
    auto* button = new QPushButton(QStringLiteral("Go"), table.viewAtRow(0));
    button->setGeometry(0, 0, 40, 20);
    button->show();
    int pressed = 0;
    QObject::connect(button, &QPushButton::clicked, [&] { ++pressed; });

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(pressed, 1);
    EXPECT_TRUE(delegate.clicked.empty());
}

TEST_F(TableViewTest, ArrowKeysPassOverRowsTheDelegateRefuses)
{
    RowsDelegate delegate;
    delegate.heights = {20, 20, 20, 20};
    delegate.unselectable = {1, 3};
    show(delegate);

    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(table.selectedRow(), 0);
    QTest::keyClick(&table, Qt::Key_Down);
    EXPECT_EQ(table.selectedRow(), 2);
    QTest::keyClick(&table, Qt::Key_Down);  // only a refused row is left below
    EXPECT_EQ(table.selectedRow(), 2);

    delegate.unselectable = {0, 1, 2, 3};
    table.deselectAll();
    QTest::keyClick(&table, Qt::Key_Down);
    QTest::keyClick(&table, Qt::Key_Up);
    EXPECT_TRUE(table.selectedRowIndexes().empty());
}

TEST_F(TableViewTest, ReloadingGivenRowsRemakesOnlyTheirViews)
{
    RowsDelegate delegate;
    delegate.heights = {20, 20, 20};
    show(delegate);
    QWidget* untouched = table.viewAtRow(0);
    delegate.viewsMade = 0;
    delegate.heights[1] = 45;

    table.reloadDataForRowIndexes({1, 7});
    EXPECT_EQ(delegate.viewsMade, 1);
    EXPECT_EQ(table.viewAtRow(0), untouched);
    EXPECT_EQ(table.rectOfRow(1).height(), 20);  // heights only when told

    table.noteHeightOfRowsWithIndexesChanged({1});
    EXPECT_EQ(table.rectOfRow(1).height(), 45);
    EXPECT_EQ(table.rectOfRow(2).top(), 65);
    EXPECT_EQ(table.viewAtRow(2)->geometry(), table.rectOfRow(2));
}

TEST_F(TableViewTest, ReloadReusesViewsAndDropsSelectionPastTheEnd)
{
    RowsDelegate delegate;
    delegate.heights = {20, 20, 20};
    show(delegate);
    table.selectRowIndexes({0, 2}, false);
    std::set<QWidget*> before{table.viewAtRow(0), table.viewAtRow(1), table.viewAtRow(2)};

    delegate.heights = {20, 20};
    table.reloadData();

    EXPECT_EQ(table.selectedRowIndexes(), (std::set<std::int64_t>{0}));
    EXPECT_TRUE(before.count(table.viewAtRow(0)));
    EXPECT_TRUE(before.count(table.viewAtRow(1)));
    EXPECT_EQ(table.rowForView(table.viewAtRow(1)), 1);
    EXPECT_EQ(qobject_cast<QLabel*>(table.viewAtRow(1))->text(), QStringLiteral("1"));
}

TEST_F(TableViewTest, NoDataSourceMeansNoRowsAndUnknownIdentifiersMakeNothing)
{
    table.reloadData();
    EXPECT_EQ(table.numberOfRows(), 0);
    EXPECT_EQ(table.makeViewWithIdentifier(QStringLiteral("Missing")), nullptr);
}

}  // namespace
