#include "app/about/HBTableRowView.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWindow>

HBTableRowView::HBTableRowView(QWidget* parent) : hb::TableCellView(parent) {}

void HBTableRowView::mousePressEvent(QMouseEvent* event)
{
    if (!mouseDownCanMoveWindow() || event->button() != Qt::LeftButton) {
        hb::TableCellView::mousePressEvent(event);
        return;
    }
    m_drag = Drag::pressed;
    m_pressPosition = event->globalPosition().toPoint();
    m_windowOffset = m_pressPosition - window()->frameGeometry().topLeft();
    event->accept();
}

void HBTableRowView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pointer = event->globalPosition().toPoint();
    if (m_drag == Drag::pressed && (pointer - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
        // The window manager moves the window where it can; otherwise the window follows the pointer.
        QWindow* handle = window()->windowHandle();
        if (handle && handle->startSystemMove()) {
            m_drag = Drag::none;
            return;
        }
        m_drag = Drag::followingPointer;
    }
    if (m_drag == Drag::followingPointer) {
        window()->move(pointer - m_windowOffset);
        event->accept();
        return;
    }
    hb::TableCellView::mouseMoveEvent(event);
}

void HBTableRowView::mouseReleaseEvent(QMouseEvent* event)
{
    m_drag = Drag::none;
    hb::TableCellView::mouseReleaseEvent(event);
}
