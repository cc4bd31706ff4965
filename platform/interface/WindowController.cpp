#include "platform/interface/WindowController.h"

#include "platform/interface/Application.h"
#include "platform/interface/ViewController.h"
#include "platform/interface/WindowPlacement.h"

#include <QCloseEvent>
#include <QPointer>
#include <QMouseEvent>
#include <QVBoxLayout>
#include <QWindow>

namespace hb {

Window::Window(QWidget* parent) : QWidget(parent, Qt::Window) {}

void Window::mousePressEvent(QMouseEvent* event)
{
    if (movableByWindowBackground && event->button() == Qt::LeftButton) {
        // Let the window manager move it where it can; otherwise follow the pointer ourselves.
        if (windowHandle() && windowHandle()->startSystemMove()) {
            event->accept();
            return;
        }
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    QWidget::mousePressEvent(event);
}

void Window::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void Window::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    QWidget::mouseReleaseEvent(event);
}

void Window::closeEvent(QCloseEvent* event)
{
    emit willClose();
    QWidget::closeEvent(event);
}

WindowController::WindowController(QObject* parent) : QObject(parent) {}

WindowController::~WindowController()
{
    // A content controller that never got a window has no parent to delete it.
    if (!m_window)
        delete m_content;
    delete m_window;
}

Window* WindowController::window()
{
    if (!m_window) {
        m_window = makeWindow();
        connect(m_window, &Window::willClose, this, [this] { windowWillClose(); });
        if (m_content)
            m_window->layout()->addWidget(m_content);
        windowDidLoad();
    }
    return m_window;
}

Window* WindowController::makeWindow()
{
    auto* window = new Window;
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return window;
}

void WindowController::setContentViewController(ViewController* controller)
{
    if (controller == m_content)
        return;
    delete m_content;
    m_content = controller;
    if (!m_content)
        return;
    m_content->loadViewIfNeeded();
    if (m_window)
        m_window->layout()->addWidget(m_content);
}

void WindowController::showWindow()
{
    if (Application::shared().deferBringingForward([self = QPointer<WindowController>(this)] {
            if (self)
                self->showWindow();
        }))
        return;
    Window* shown = window();
    // Placed when it comes up, not when it merely comes back with the program.
    if (shown->opensBesideMainWindow && !shown->isVisible())
        WindowPlacement::placeBesideMainWindow(shown);
    shown->show();
    shown->raise();
    shown->activateWindow();
    if (m_content)
        m_content->completeAppearance();
}

void WindowController::close()
{
    if (m_window)
        m_window->close();
}

void WindowController::orderOut()
{
    // Through the application, so a window put away while the program is hidden stays away when it comes back.
    if (m_window)
        Application::shared().orderOut(m_window);
}

bool WindowController::isVisible() const
{
    return m_window && m_window->isVisible();
}

}  // namespace hb
