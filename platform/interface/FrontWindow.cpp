#include "platform/interface/FrontWindow.h"

#include "platform/base/Log.h"
#include "platform/base/ProgramIdentity.h"

#include <QGuiApplication>
#include <QWindow>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

namespace hb {

namespace {

Display* x11Display()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

// A window property of one 32-bit item (a window id, a process id); 0 when absent.
unsigned long cardinalProperty(Display* display, Window window, const char* name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* value = nullptr;
    unsigned long result = 0;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 1, False, type, &actualType, &format,
                           &items, &after, &value)
            == Success
        && value) {
        if (actualType == type && format == 32 && items == 1)
            result = *reinterpret_cast<unsigned long*>(value);
        XFree(value);
    }
    return result;
}

bool isWaylandSession()
{
    return QGuiApplication::platformName() == QLatin1String("wayland")
           || qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
}

FrontWindow activeWindow()
{
    FrontWindow front;
    if (Display* display = x11Display()) {
        front.x11Window = cardinalProperty(display, DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
        if (front.x11Window)
            front.processId = static_cast<qint64>(
                cardinalProperty(display, front.x11Window, "_NET_WM_PID", XA_CARDINAL));
    }
    // Under XWayland a window of a Wayland client is no X11 window at all.
    front.lookUpActiveWindow = !front.x11Window && isWaylandSession();
    return front;
}

bool isOwnWindow(const FrontWindow& front)
{
    if (front.processId == ::getpid())
        return true;
    for (const QWindow* window : QGuiApplication::allWindows())
        if (window->handle() && window->winId() == front.x11Window)
            return true;
    return false;
}

}  // namespace

QMap<QString, QString> FrontWindow::environment() const
{
    QMap<QString, QString> variables;
    const QString windowVariable = programIdentity().command.toUpper() + QStringLiteral("_FRONT_WINDOW");
    if (x11Window) {
        variables.insert(windowVariable, QString::number(x11Window));
        if (processId > 0)
            variables.insert(programIdentity().command.toUpper() + QStringLiteral("_FRONT_PID"),
                             QString::number(processId));
    } else if (lookUpActiveWindow) {
        variables.insert(windowVariable, QStringLiteral("active"));
    }
    return variables;
}

FrontWindows& FrontWindows::shared()
{
    static FrontWindows* instance = new FrontWindows;  // lives as long as the process
    return *instance;
}

void FrontWindows::note()
{
    const FrontWindow front = activeWindow();
    if ((front.x11Window && isOwnWindow(front)) || (!front.x11Window && !front.lookUpActiveWindow)) {
        forget();
        return;
    }
    note(front);
}

void FrontWindows::note(const FrontWindow& window)
{
    m_note = window;
    m_notedAt = std::chrono::steady_clock::now();
    HBDebug() << "front window noted:" << window.environment();
}

void FrontWindows::forget()
{
    m_note.reset();
}

bool FrontWindows::hasNote() const
{
    return m_note && std::chrono::steady_clock::now() - m_notedAt < noteLifetime;
}

std::shared_ptr<const FrontWindow> FrontWindows::claim()
{
    if (!hasNote()) {
        forget();
        return nullptr;
    }
    const FrontWindow window = *std::exchange(m_note, std::nullopt);
    ++m_claims;
    return std::shared_ptr<const FrontWindow>(new FrontWindow(window), [](const FrontWindow* claimed) {
        delete claimed;
        QMetaObject::invokeMethod(&FrontWindows::shared(), &FrontWindows::dropClaim, Qt::QueuedConnection);
    });
}

void FrontWindows::dropClaim()
{
    if (--m_claims == 0)
        emit released();
}

}  // namespace hb
