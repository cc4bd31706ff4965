#include "mainwindow/status/HBStatusPaneLayout.h"

#include "mainwindow/controls/HBCustomViews.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

HBStatusPaneLayout::HBStatusPaneLayout(QWidget* pane)
    : m_pane(pane), m_row(new QHBoxLayout(pane)), m_lines(new QVBoxLayout)
{
    m_row->setContentsMargins(4, 2, 4, 2);
    m_row->setSpacing(8);
    m_lines->setSpacing(0);
    m_row->addLayout(m_lines, 1);
    pane->setStyleSheet(
        QStringLiteral("QLabel { color: rgb(225, 229, 236); } QLabel#subText { color: rgb(150, 157, 170); } "
                       "QLabel#notice { color: rgb(240, 178, 84); }"));
}

void HBStatusPaneLayout::addLeading(QWidget* widget)
{
    m_row->insertWidget(m_row->indexOf(m_lines), widget);
}

QLabel* HBStatusPaneLayout::addLine(const QString& text, const QString& purpose)
{
    auto* label = new QLabel(text, m_pane);
    label->setAccessibleDescription(purpose);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    m_lines->addWidget(label);
    return label;
}

QLabel* HBStatusPaneLayout::addSubLine(const QString& text)
{
    auto* label = new QLabel(text, m_pane);
    label->setObjectName(QStringLiteral("subText"));
    label->setWordWrap(true);
    m_lines->addWidget(label);
    return label;
}

QLabel* HBStatusPaneLayout::addNotice()
{
    auto* label = new QLabel(m_pane);
    label->setObjectName(QStringLiteral("notice"));
    label->setWordWrap(true);
    label->setAccessibleDescription(QStringLiteral("Notice"));
    label->hide();
    m_lines->addWidget(label);
    return label;
}

QPushButton* HBStatusPaneLayout::addButton(const QString& text, const QString& accessibleName)
{
    auto* button = new QPushButton(text, m_pane);
    button->setAccessibleName(accessibleName);
    button->setFocusPolicy(Qt::NoFocus);
    m_row->addWidget(button);
    return button;
}

HBHotKeyLabel* HBStatusPaneLayout::addHotKeyLabel()
{
    auto* label = new HBHotKeyLabel(m_pane);
    m_row->addWidget(label);
    return label;
}
