#include "mainwindow/recent/CustomTableView.h"

#include "mainwindow/recent/RecentTableCellView.h"

#include <QMouseEvent>
#include <QPushButton>

CustomTableView::CustomTableView(QWidget* parent) : hb::TableView(parent)
{
    setMouseTracking(true);
}

void CustomTableView::setRevealButtonVisible(std::int64_t row, bool visible)
{
    if (auto* cell = qobject_cast<RecentTableCellView*>(viewAtRow(row)); cell && cell->showFileButton)
        cell->showFileButton->setVisible(visible);
}

void CustomTableView::mouseMoved(const QPoint& point)
{
    mouseOverRow = rowAtPoint(point);
    if (mouseOverRow < 0 || mouseOverRow == lastOverRow)
        return;
    if (lastOverRow >= 0)
        setRevealButtonVisible(rowId, false);
    lastOverRow = mouseOverRow;
    rowId = mouseOverRow;
    setRevealButtonVisible(mouseOverRow, true);
}

void CustomTableView::mouseExited()
{
    if (lastOverRow >= 0)
        setRevealButtonVisible(lastOverRow, false);
    mouseOverRow = -1;
    lastOverRow = -1;
}

void CustomTableView::mouseMoveEvent(QMouseEvent* event)
{
    hb::TableView::mouseMoveEvent(event);
    // Row views cover the table: their moves arrive here with the pointer in the table's coordinates.
    mouseMoved(event->position().toPoint());
}

void CustomTableView::leaveEvent(QEvent* event)
{
    mouseExited();
    hb::TableView::leaveEvent(event);
}
