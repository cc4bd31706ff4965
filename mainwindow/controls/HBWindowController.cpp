#include "mainwindow/controls/HBWindowController.h"

#include "platform/interface/StoryboardRegistry.h"

#include <QEvent>
#include <QVBoxLayout>

HB_REGISTER_SCENE("Main", "MainWC", HBWindowController);

CustomWindow::CustomWindow(QWidget* parent) : hb::Window(parent)
{
    setAutoFillBackground(true);
    applyBackground();
}

void CustomWindow::changeEvent(QEvent* event)
{
    hb::Window::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyBackground();
}

void CustomWindow::applyBackground()
{
    if (m_applying || palette().color(QPalette::Window) == fixedBackgroundColor())
        return;
    m_applying = true;
    QPalette fixed = palette();
    fixed.setColor(QPalette::Window, fixedBackgroundColor());
    setPalette(fixed);
    m_applying = false;
}

HBWindowController::HBWindowController(QObject* parent) : hb::WindowController(parent) {}

hb::Window* HBWindowController::makeWindow()
{
    auto* window = new CustomWindow;
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return window;
}

void HBWindowController::windowDidLoad()
{
    hb::Window* shown = window();
    shown->movableByWindowBackground = true;
    // The title is hidden: the window manager draws no title bar. A normal top-level window
    // otherwise, so it can be focused, moved and found by the task switcher.
    shown->setWindowFlag(Qt::FramelessWindowHint, true);
    shown->setWindowTitle(QStringLiteral("Harbrill"));
    shown->setAccessibleName(QStringLiteral("Harbrill"));
}
