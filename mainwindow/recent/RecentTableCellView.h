#pragma once

#include "platform/interface/TableView.h"

#include <QPointer>

class QLabel;
class QPushButton;

// A row of the recent-files table: check box, icon, file name and a reveal button that shows only while
// the pointer is over the row.
class RecentTableCellView : public hb::TableCellView {
    Q_OBJECT
public:
    explicit RecentTableCellView(QWidget* parent = nullptr);

    QPointer<QPushButton> selectFileButton;
    QPointer<QPushButton> showFileButton;
    QPointer<QLabel> fileNameTextField;
    QPointer<QLabel> fileThumbnailImageView;

    // The name reads white on a selected row, black otherwise.
    void setBackgroundStyle(hb::BackgroundStyle style) override;

    void setFileName(const QString& name);
};
