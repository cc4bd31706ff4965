#include "mainwindow/recent/RecentTableCellView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPalette>
#include <QPushButton>

RecentTableCellView::RecentTableCellView(QWidget* parent) : hb::TableCellView(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    selectFileButton = new QPushButton(this);
    selectFileButton->setCheckable(true);
    selectFileButton->setFlat(true);
    selectFileButton->setIconSize(QSize(16, 16));
    selectFileButton->setFixedSize(22, 22);
    fileThumbnailImageView = new QLabel(this);
    fileThumbnailImageView->setFixedSize(24, 24);
    fileThumbnailImageView->setAccessibleName(QStringLiteral("File Icon"));
    fileNameTextField = new QLabel(this);
    fileNameTextField->setTextFormat(Qt::PlainText);
    showFileButton = new QPushButton(QStringLiteral("Show"), this);
    showFileButton->setFlat(true);
    showFileButton->hide();
    layout->addWidget(selectFileButton);
    layout->addWidget(fileThumbnailImageView);
    layout->addWidget(fileNameTextField, 1);
    layout->addWidget(showFileButton);
    setBackgroundStyle(hb::BackgroundStyle::normal);
}

void RecentTableCellView::setFileName(const QString& name)
{
    fileNameTextField->setText(name);
    selectFileButton->setAccessibleName(QStringLiteral("Choose %1").arg(name));
    showFileButton->setAccessibleName(QStringLiteral("Show %1").arg(name));
}

void RecentTableCellView::setBackgroundStyle(hb::BackgroundStyle style)
{
    QPalette palette = fileNameTextField->palette();
    palette.setColor(QPalette::WindowText, style == hb::BackgroundStyle::emphasized ? Qt::white : Qt::black);
    fileNameTextField->setPalette(palette);
    hb::TableCellView::setBackgroundStyle(style);
}
