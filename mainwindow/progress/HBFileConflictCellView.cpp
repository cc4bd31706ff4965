#include "mainwindow/progress/HBFileConflictCellView.h"

#include "mainwindow/progress/HBFileProgressUIDelegate.h"
#include "mainwindow/progress/HBProgressTableViewCell.h"
#include "ui_HBProgressConflictCell.h"

HBFileConflictCellView::HBFileConflictCellView(QWidget* parent)
    : hb::TableCellView(parent), m_ui(std::make_unique<Ui::HBProgressConflictCell>())
{
    m_ui->setupUi(this);
    m_ui->status->setFont(HBProgressTableViewCell::statusFont());
    m_ui->applyToAll->setChecked(false);
    m_ui->divider->show();
    connect(m_ui->keepBoth, &QPushButton::clicked, this, [this] { choose(Instruction::keepBoth, applyToAllIsOn()); });
    connect(m_ui->replace, &QPushButton::clicked, this, [this] { choose(Instruction::replace, applyToAllIsOn()); });
    connect(m_ui->skip, &QPushButton::clicked, this, [this] { choose(Instruction::skip, applyToAllIsOn()); });
    connect(m_ui->stop, &QPushButton::clicked, this, [this] { choose(Instruction::stop, true); });
}

HBFileConflictCellView::~HBFileConflictCellView() = default;

QCheckBox* HBFileConflictCellView::applyToAll() const
{
    return m_ui->applyToAll;
}

QPushButton* HBFileConflictCellView::skip() const
{
    return m_ui->skip;
}

QPushButton* HBFileConflictCellView::stop() const
{
    return m_ui->stop;
}

QPushButton* HBFileConflictCellView::replace() const
{
    return m_ui->replace;
}

QPushButton* HBFileConflictCellView::keepBoth() const
{
    return m_ui->keepBoth;
}

hb::WrappingLabel* HBFileConflictCellView::status() const
{
    return m_ui->status;
}

QFrame* HBFileConflictCellView::divider() const
{
    return m_ui->divider;
}

void HBFileConflictCellView::choose(Instruction instruction, bool applyToAll)
{
    if (delegate)
        delegate->ruleChosen(Rule{instruction, applyToAll}, this);
}

bool HBFileConflictCellView::applyToAllIsOn() const
{
    return m_ui->applyToAll->checkState() != Qt::Unchecked;
}
