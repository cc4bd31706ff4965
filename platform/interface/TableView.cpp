#include "platform/interface/TableView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace hb {

namespace {
const char* const identifierProperty = "hbTableViewIdentifier";
constexpr std::size_t maximumReusableViews = 32;
}  // namespace

TableCellView::TableCellView(QWidget* parent) : QWidget(parent) {}

double TableViewDelegate::tableViewHeightOfRow(TableView& tableView, std::int64_t)
{
    return tableView.rowHeight();
}

bool TableViewDelegate::tableViewShouldSelectRow(TableView&, std::int64_t)
{
    return true;
}

TableView::TableView(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

TableView::~TableView() = default;

void TableView::registerViewFactory(const QString& identifier, ViewFactory factory)
{
    m_factories.insert(identifier, std::move(factory));
}

std::unique_ptr<QWidget> TableView::makeViewWithIdentifier(const QString& identifier)
{
    std::vector<QWidget*>& reusable = m_reusable[identifier];
    if (!reusable.empty()) {
        std::unique_ptr<QWidget> view(reusable.back());
        reusable.pop_back();
        return view;
    }
    const auto factory = m_factories.constFind(identifier);
    if (factory == m_factories.constEnd() || !*factory)
        return nullptr;
    std::unique_ptr<QWidget> view = (*factory)();
    if (view)
        view->setProperty(identifierProperty, identifier);
    return view;
}

void TableView::reloadData()
{
    for (Row& row : m_rows)
        discardView(row.view);
    m_rows.clear();
    const std::int64_t count = m_dataSource ? std::max<std::int64_t>(m_dataSource->numberOfRowsInTableView(*this), 0)
                                            : 0;
    m_rows.resize(static_cast<std::size_t>(count));
    for (std::int64_t row = 0; row < count; ++row) {
        m_rows[row].view = viewForRow(row).release();
        m_rows[row].height = heightForRow(row);
    }
    const auto firstGone = m_selection.lower_bound(count);
    const bool selectionChanged = firstGone != m_selection.end();
    m_selection.erase(firstGone, m_selection.end());
    placeRows();
    updateBackgroundStyles();
    if (selectionChanged)
        emit selectionDidChange();
}

void TableView::reloadDataForRowIndexes(const std::set<std::int64_t>& rows)
{
    for (std::int64_t row : rows) {
        if (row < 0 || row >= numberOfRows())
            continue;
        discardView(m_rows[row].view);
        m_rows[row].view = viewForRow(row).release();
    }
    placeRows();
    updateBackgroundStyles();
}

void TableView::noteHeightOfRowsWithIndexesChanged(const std::set<std::int64_t>& rows)
{
    for (std::int64_t row : rows) {
        if (row >= 0 && row < numberOfRows())
            m_rows[row].height = heightForRow(row);
    }
    placeRows();
}

QRect TableView::rectOfRow(std::int64_t row) const
{
    if (row < 0 || row >= numberOfRows())
        return {};
    const int bottom = row + 1 < numberOfRows() ? m_rows[row + 1].top : m_contentHeight;
    return QRect(0, m_rows[row].top, width(), bottom - m_rows[row].top);
}

std::int64_t TableView::rowAtPoint(const QPoint& point) const
{
    if (point.x() < 0 || point.x() >= width() || point.y() < 0 || point.y() >= m_contentHeight)
        return -1;
    const auto after = std::upper_bound(m_rows.begin(), m_rows.end(), point.y(),
                                        [](int y, const Row& row) { return y < row.top; });
    return after == m_rows.begin() ? -1 : (after - m_rows.begin()) - 1;
}

std::int64_t TableView::rowForView(const QWidget* view) const
{
    while (view && view->parentWidget() != this)
        view = view->parentWidget();
    if (!view)
        return -1;
    const auto found = std::find_if(m_rows.begin(), m_rows.end(), [view](const Row& row) { return row.view == view; });
    return found == m_rows.end() ? -1 : found - m_rows.begin();
}

QWidget* TableView::viewAtRow(std::int64_t row) const
{
    return row >= 0 && row < numberOfRows() ? m_rows[row].view : nullptr;
}

std::int64_t TableView::selectedRow() const
{
    return m_selection.empty() ? -1 : *m_selection.rbegin();
}

void TableView::selectRowIndexes(const std::set<std::int64_t>& rows, bool byExtendingSelection)
{
    std::set<std::int64_t> selection = byExtendingSelection ? m_selection : std::set<std::int64_t>{};
    for (std::int64_t row : rows) {
        if (row >= 0 && row < numberOfRows())
            selection.insert(row);
    }
    if (selection == m_selection)
        return;
    m_selection = std::move(selection);
    updateBackgroundStyles();
    update();
    emit selectionDidChange();
}

void TableView::deselectAll()
{
    selectRowIndexes({}, false);
}

QSize TableView::sizeHint() const
{
    int width = 0;
    for (const Row& row : m_rows) {
        if (row.view)
            width = std::max(width, row.view->sizeHint().width());
    }
    return {width, m_contentHeight};
}

void TableView::mousePressEvent(QMouseEvent* event)
{
    // Presses never select rows here: a clickable delegate is told the row and decides.
    QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    const std::int64_t row = rowAtPoint(event->position().toPoint());
    if (row < 0)
        return;
    if (auto* clickable = dynamic_cast<NSTableViewClickableDelegate*>(m_delegate))
        clickable->tableViewDidClickRow(*this, row);
}

void TableView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Down)
        moveSelection(1);
    else if (event->key() == Qt::Key_Up)
        moveSelection(-1);
    else
        QWidget::keyPressEvent(event);
}

void TableView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeRows();
}

void TableView::paintEvent(QPaintEvent*)
{
    if (m_selection.empty())
        return;
    QPainter painter(this);
    for (std::int64_t row : m_selection)
        painter.fillRect(rectOfRow(row), palette().color(QPalette::Highlight));
}

std::unique_ptr<QWidget> TableView::viewForRow(std::int64_t row)
{
    std::unique_ptr<QWidget> view = m_delegate ? m_delegate->tableViewViewForRow(*this, row) : nullptr;
    if (view) {
        view->setParent(this);
        view->show();
    }
    return view;
}

double TableView::heightForRow(std::int64_t row)
{
    const double height = m_delegate ? m_delegate->tableViewHeightOfRow(*this, row) : m_rowHeight;
    return std::isfinite(height) && height > 0 ? height : 0;
}

void TableView::placeRows()
{
    double bottom = 0;
    for (Row& row : m_rows) {
        row.top = static_cast<int>(std::lround(bottom));
        bottom += row.height;
        if (row.view)
            row.view->setGeometry(0, row.top, width(), static_cast<int>(std::lround(bottom)) - row.top);
    }
    m_contentHeight = static_cast<int>(std::lround(bottom));
    setMinimumHeight(m_contentHeight);
    updateGeometry();
    update();
}

void TableView::discardView(QWidget* view)
{
    if (!view)
        return;
    view->hide();
    const QString identifier = view->property(identifierProperty).toString();
    if (!identifier.isEmpty() && m_reusable[identifier].size() < maximumReusableViews) {
        m_reusable[identifier].push_back(view);
        return;
    }
    // The view may be the one whose button is reporting the press that led here: delete it later.
    view->deleteLater();
}

void TableView::updateBackgroundStyles()
{
    for (std::size_t row = 0; row < m_rows.size(); ++row) {
        if (auto* cell = qobject_cast<TableCellView*>(m_rows[row].view))
            cell->setBackgroundStyle(m_selection.count(static_cast<std::int64_t>(row)) ? BackgroundStyle::emphasized
                                                                                       : BackgroundStyle::normal);
    }
}

void TableView::moveSelection(int step)
{
    const std::int64_t count = numberOfRows();
    std::int64_t row = selectedRow();
    if (row < 0)
        row = step > 0 ? -1 : count;
    for (row += step; row >= 0 && row < count; row += step) {
        if (!m_delegate || m_delegate->tableViewShouldSelectRow(*this, row)) {
            selectRowIndexes({row}, false);
            return;
        }
    }
}

}  // namespace hb
