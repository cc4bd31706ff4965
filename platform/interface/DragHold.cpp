#include "platform/interface/DragHold.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>
#include <QWindow>

// After Qt's headers: Xlib's macros (None, Bool, ...) would clash with them.
#include <X11/Xlib.h>

namespace hb {

namespace {

DragHold::ButtonsProbe& probe()
{
    static DragHold::ButtonsProbe instance;
    return instance;
}

DragHold::Buttons windowSystemButtons()
{
    const QString platform = QGuiApplication::platformName();
    if (platform.startsWith(QLatin1String("wayland")))
        return DragHold::Buttons::unknown;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return DragHold::Buttons::released;  // no window system of other programs (offscreen)
    // The core pointer's state holds the buttons also while another client has grabbed the pointer.
    Window root = 0, child = 0;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned int mask = 0;
    if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y, &mask))
        return DragHold::Buttons::unknown;
    constexpr unsigned int anyButton = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
    return (mask & anyButton) ? DragHold::Buttons::held : DragHold::Buttons::released;
}

}  // namespace

DragHold& DragHold::shared()
{
    static DragHold* instance = new DragHold;  // lives as long as the process
    return *instance;
}

DragHold::DragHold()
{
    if (QCoreApplication* app = QCoreApplication::instance())
        app->installEventFilter(this);
}

void DragHold::setButtonsProbe(ButtonsProbe buttonsProbe)
{
    probe() = std::move(buttonsProbe);
}

DragHold::Buttons DragHold::buttons()
{
    return probe() ? probe()() : windowSystemButtons();
}

bool DragHold::holdsResignation(qint64 waitedMs) const
{
    if (m_dragInside)
        return true;
    switch (buttons()) {
    case Buttons::held:
        return true;
    case Buttons::unknown:
        return waitedMs < unknownButtonsGraceMs;
    case Buttons::released:
        return false;
    }
    return false;
}

bool DragHold::eventFilter(QObject* watched, QEvent* event)
{
    // A window is told of every drag that enters, leaves or is dropped on it, before its widgets are.
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (qobject_cast<QWindow*>(watched))
            setDragInside(true);
        break;
    case QEvent::DragLeave:
    case QEvent::Drop:
        if (qobject_cast<QWindow*>(watched))
            setDragInside(false);
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DragHold::setDragInside(bool inside)
{
    if (m_dragInside == inside)
        return;
    m_dragInside = inside;
    emit dragInsideChanged(inside);
}

}  // namespace hb
