#pragma once

#include <QMap>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace hb {

class TableView;

enum class BackgroundStyle { normal, emphasized };

// A row view of a table. The table tells it whether its row is selected.
class TableCellView : public QWidget {
    Q_OBJECT
public:
    explicit TableCellView(QWidget* parent = nullptr);

    BackgroundStyle backgroundStyle() const { return m_backgroundStyle; }
    virtual void setBackgroundStyle(BackgroundStyle style) { m_backgroundStyle = style; }

private:
    BackgroundStyle m_backgroundStyle = BackgroundStyle::normal;
};

class TableViewDataSource {
public:
    virtual ~TableViewDataSource() = default;
    virtual std::int64_t numberOfRowsInTableView(TableView& tableView) = 0;
};

class TableViewDelegate {
public:
    virtual ~TableViewDelegate() = default;
    // A new view for the row (the table owns it); none leaves the row empty.
    virtual std::unique_ptr<QWidget> tableViewViewForRow(TableView& tableView, std::int64_t row) = 0;
    virtual double tableViewHeightOfRow(TableView& tableView, std::int64_t row);    // default: rowHeight()
    virtual bool tableViewShouldSelectRow(TableView& tableView, std::int64_t row);  // default: true
};

}  // namespace hb

// A table delegate that also adopts this is told the row of every press on a row; presses never
// select rows by themselves, a delegate that wants selection by click makes it here.
class NSTableViewClickableDelegate {
public:
    virtual ~NSTableViewClickableDelegate() = default;
    virtual void tableViewDidClickRow(hb::TableView& tableView, std::int64_t row) = 0;
};

namespace hb {

// A view-based table of one column: one view per row, stacked at the heights the delegate gives.
// Every row view exists while its row does. Put it in a scroll area for scrolling.
class TableView : public QWidget {
    Q_OBJECT
public:
    explicit TableView(QWidget* parent = nullptr);
    ~TableView() override;

    void setDataSource(TableViewDataSource* dataSource) { m_dataSource = dataSource; }
    void setDelegate(TableViewDelegate* delegate) { m_delegate = delegate; }
    TableViewDelegate* delegate() const { return m_delegate; }

    // Row views by identifier: the owner registers a factory per identifier (a Designer form).
    // A view taken off a row is handed out again for its identifier, keeping what it showed.
    using ViewFactory = std::function<std::unique_ptr<QWidget>()>;
    void registerViewFactory(const QString& identifier, ViewFactory factory);
    std::unique_ptr<QWidget> makeViewWithIdentifier(const QString& identifier);  // none if unknown
    template <class T>
    std::unique_ptr<T> makeViewWithIdentifier(const QString& identifier)
    {
        std::unique_ptr<QWidget> view = makeViewWithIdentifier(identifier);
        if (auto* typed = qobject_cast<T*>(view.get())) {
            view.release();
            return std::unique_ptr<T>(typed);
        }
        return nullptr;
    }

    void reloadData();  // every row anew: count, views, heights
    // New views for the given rows (rows past the end are ignored); heights are not asked again.
    void reloadDataForRowIndexes(const std::set<std::int64_t>& rows);
    void noteHeightOfRowsWithIndexesChanged(const std::set<std::int64_t>& rows);

    std::int64_t numberOfRows() const { return static_cast<std::int64_t>(m_rows.size()); }
    QRect rectOfRow(std::int64_t row) const;             // empty for no such row
    std::int64_t rowAtPoint(const QPoint& point) const;  // -1 between or past the rows
    std::int64_t rowForView(const QWidget* view) const;  // the row whose view holds `view`, or -1
    QWidget* viewAtRow(std::int64_t row) const;          // the existing view, never makes one

    double rowHeight() const { return m_rowHeight; }
    void setRowHeight(double height) { m_rowHeight = height; }

    // Selection, changed by the program or by the arrow keys (rows the delegate refuses are passed over).
    const std::set<std::int64_t>& selectedRowIndexes() const { return m_selection; }
    std::int64_t selectedRow() const;  // the last selected row, -1 for none
    void selectRowIndexes(const std::set<std::int64_t>& rows, bool byExtendingSelection);
    void deselectAll();

    QSize sizeHint() const override;

signals:
    void selectionDidChange();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    struct Row {
        QWidget* view = nullptr;
        double height = 0;
        int top = 0;
    };
    std::unique_ptr<QWidget> viewForRow(std::int64_t row);
    double heightForRow(std::int64_t row);
    void placeRows();
    void discardView(QWidget* view);
    void updateBackgroundStyles();
    void moveSelection(int step);

    TableViewDataSource* m_dataSource = nullptr;
    TableViewDelegate* m_delegate = nullptr;
    QMap<QString, ViewFactory> m_factories;
    QMap<QString, std::vector<QWidget*>> m_reusable;
    std::vector<Row> m_rows;
    std::set<std::int64_t> m_selection;
    double m_rowHeight = 24;
    int m_contentHeight = 0;
};

}  // namespace hb
