#include "platform/interface/ViewController.h"

#include <QShowEvent>

namespace hb {

ViewController::ViewController(QWidget* parent) : QWidget(parent) {}

void ViewController::loadViewIfNeeded()
{
    if (m_viewLoaded)
        return;
    m_viewLoaded = true;
    loadView();
    viewDidLoad();
}

void ViewController::completeAppearance()
{
    if (!m_appearancePending)
        return;
    m_appearancePending = false;
    viewDidAppear();
}

void ViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Spontaneous events come from the window system (a window restored), not from being shown.
    if (event->spontaneous())
        return;
    loadViewIfNeeded();
    viewWillAppear();
    m_appearancePending = true;
    QMetaObject::invokeMethod(this, &ViewController::completeAppearance, Qt::QueuedConnection);
}

void ViewController::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_appearancePending = false;
    viewWillDisappear();
    viewDidDisappear();
}

}  // namespace hb
