#include "mainwindow/progress/HBProgressTableViewCell.h"

#include "mainwindow/progress/HBFileProgressUIDelegate.h"
#include "platform/interface/WrappingLabel.h"
#include "ui_HBProgressNormalCell.h"

#include <QApplication>

HBProgressTableViewCell::HBProgressTableViewCell(QWidget* parent)
    : hb::TableCellView(parent), m_ui(std::make_unique<Ui::HBProgressNormalCell>())
{
    m_ui->setupUi(this);
    m_ui->status->setFont(statusFont());
    m_ui->progressBar->setValue(0);
    m_ui->divider->show();
    // The bar tells a screen reader what it measures: the row's status, the item and where it goes.
    connect(m_ui->status, &hb::WrappingLabel::textChanged, m_ui->progressBar, &QWidget::setAccessibleName);
    connect(m_ui->close, &QToolButton::clicked, this, &HBProgressTableViewCell::closePressed);
}

HBProgressTableViewCell::~HBProgressTableViewCell() = default;

QFont HBProgressTableViewCell::statusFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(12);
    return font;
}

hb::WrappingLabel* HBProgressTableViewCell::status() const
{
    return m_ui->status;
}

QToolButton* HBProgressTableViewCell::close() const
{
    return m_ui->close;
}

QProgressBar* HBProgressTableViewCell::progressBar() const
{
    return m_ui->progressBar;
}

QFrame* HBProgressTableViewCell::divider() const
{
    return m_ui->divider;
}

void HBProgressTableViewCell::closePressed()
{
    if (delegate)
        delegate->closeRow(this);
}
