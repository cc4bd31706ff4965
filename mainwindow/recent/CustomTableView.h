#pragma once

#include "platform/interface/TableView.h"

#include <cstdint>

// The recent-files table: the reveal button of the row under the pointer shows, and moves with the
// pointer from row to row; leaving the table hides it. Only existing row views are touched.
class CustomTableView : public hb::TableView {
    Q_OBJECT
public:
    explicit CustomTableView(QWidget* parent = nullptr);

    std::int64_t mouseOverRow = -1;  // the row under the pointer
    std::int64_t lastOverRow = -1;   // the row whose reveal button shows
    std::int64_t rowId = -1;         // the row whose reveal button was shown last

    // The pointer at `point` (table coordinates); empty space keeps the shown button.
    void mouseMoved(const QPoint& point);
    void mouseExited();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void setRevealButtonVisible(std::int64_t row, bool visible);
};
