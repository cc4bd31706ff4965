#pragma once

#include "platform/interface/TableView.h"

#include <QPoint>

// A table row that moves its window when a press on it turns into a drag, so a window can be moved
// by its rows as by its background. A plain press without a drag stays a press.
class HBTableRowView : public hb::TableCellView {
    Q_OBJECT
public:
    explicit HBTableRowView(QWidget* parent = nullptr);

    bool mouseDownCanMoveWindow() const { return true; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    enum class Drag { none, pressed, followingPointer };
    Drag m_drag = Drag::none;
    QPoint m_pressPosition;
    QPoint m_windowOffset;
};
