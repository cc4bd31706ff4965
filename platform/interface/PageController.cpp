#include "platform/interface/PageController.h"

#include <QStackedLayout>

namespace hb {

PageController::PageController(QWidget* parent)
    : ViewController(parent), m_pageArea(new QWidget(this)), m_stack(new QStackedLayout(m_pageArea))
{
    m_stack->setContentsMargins(0, 0, 0, 0);
}

PageController::~PageController() = default;

void PageController::setDelegate(PageControllerDelegate* delegate)
{
    m_delegate = delegate;
}

void PageController::setArrangedObjects(const QVariantList& objects)
{
    m_arrangedObjects = objects;
    if (m_selectedIndex >= m_arrangedObjects.size())
        m_selectedIndex = m_arrangedObjects.size() - 1;
}

void PageController::setSelectedIndex(qsizetype index)
{
    if (index < 0 || index >= m_arrangedObjects.size())
        return;
    m_selectedIndex = index;
    completeTransition();
}

ViewController* PageController::selectedViewController()
{
    return pageAt(m_selectedIndex);
}

ViewController* PageController::pageAt(qsizetype index)
{
    if (!m_delegate || index < 0 || index >= m_arrangedObjects.size())
        return nullptr;
    const QString identifier = m_delegate->identifierForObject(this, m_arrangedObjects.at(index));
    if (ViewController* page = m_pages.value(identifier))
        return page;
    std::unique_ptr<ViewController> made = m_delegate->viewControllerForIdentifier(this, identifier);
    if (!made)
        return nullptr;
    ViewController* page = made.release();
    page->loadViewIfNeeded();
    m_stack->addWidget(page);
    m_pages.insert(identifier, page);
    return page;
}

void PageController::navigateForward()
{
    navigate(1);
}

void PageController::navigateBack()
{
    navigate(-1);
}

void PageController::navigate(qsizetype step)
{
    const qsizetype target = m_selectedIndex + step;
    if (m_selectedIndex < 0 || target < 0 || target >= m_arrangedObjects.size())
        return;
    if (m_delegate)
        m_delegate->pageControllerWillStartLiveTransition(this);
    m_selectedIndex = target;
    if (!m_delegate) {
        completeTransition();
        return;
    }
    m_delegate->pageControllerDidTransitionToObject(this, m_arrangedObjects.at(target));
    m_delegate->pageControllerDidEndLiveTransition(this);
}

void PageController::completeTransition()
{
    if (ViewController* page = selectedViewController())
        m_stack->setCurrentWidget(page);
}

}  // namespace hb
