#include "platform/interface/TabViewController.h"

#include <QStackedLayout>

namespace hb {

TabViewController::TabViewController(QWidget* parent) : ViewController(parent), m_stack(new QStackedLayout(this))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
}

void TabViewController::addChildViewController(ViewController* child)
{
    if (!child)
        return;
    child->loadViewIfNeeded();
    m_children.append(child);
    m_stack->addWidget(child);
}

ViewController* TabViewController::viewControllerAtIndex(qsizetype index) const
{
    if (index < 0 || index >= m_children.size())
        return nullptr;
    return m_children.at(index);
}

qsizetype TabViewController::selectedTabViewItemIndex() const
{
    return m_children.isEmpty() ? -1 : m_stack->currentIndex();
}

void TabViewController::setSelectedTabViewItemIndex(qsizetype index)
{
    if (index < 0 || index >= m_children.size())
        return;
    m_stack->setCurrentIndex(int(index));
}

}  // namespace hb
