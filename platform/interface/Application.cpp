#include "platform/interface/Application.h"

#include "platform/base/Log.h"
#include "platform/interface/FrontWindow.h"
#include "platform/interface/XdgActivation.h"

#include <QApplication>
#include <QTimer>
#include <QWindow>

namespace hb {

namespace {
// Windows the window manager does not manage, like the X11 tray's embedded icon, are not the
// program's windows to hide or focus.
bool isUnmanaged(const QWidget* widget)
{
    return widget->windowType() != Qt::Popup && widget->windowFlags().testFlag(Qt::BypassWindowManagerHint);
}

bool isOrdinaryWindow(const QWidget* widget)
{
    if (!widget || !widget->isWindow() || isUnmanaged(widget))
        return false;
    const Qt::WindowType type = widget->windowType();
    return type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen && type != Qt::Desktop;
}
// Shown, out of the minimised state, and on top.
void orderFront(QWidget* window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
}
}  // namespace

Application& Application::shared()
{
    static Application* instance = new Application;  // lives as long as the process
    return *instance;
}

Application::Application()
{
    Q_ASSERT(qApp);
    QApplication::setQuitOnLastWindowClosed(false);
    m_reportedState = QGuiApplication::applicationState();
    m_active = m_reportedState == Qt::ApplicationActive;
    connect(qApp, &QGuiApplication::applicationStateChanged, this, &Application::applicationStateChanged);
    m_holdLimit = new QTimer(this);
    m_holdLimit->setSingleShot(true);
    m_holdLimit->setInterval(FrontWindows::holdLimit);
    connect(m_holdLimit, &QTimer::timeout, this, &Application::bringForwardNow);
    connect(&FrontWindows::shared(), &FrontWindows::released, this, &Application::bringForwardNow);
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) {
        QWidget* active = QApplication::activeWindow();
        if (isOrdinaryWindow(active))
            m_keyWindow = active;
    });
}

void Application::setDelegate(ApplicationDelegate* delegate) { m_delegate = delegate; }

int Application::run()
{
    m_terminating = false;
    // Launching finishes inside the loop, so a delegate that terminates right away still ends it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_delegate)
                m_delegate->applicationDidFinishLaunching();
        },
        Qt::QueuedConnection);
    return QApplication::exec();
}

bool Application::deferBringingForward(const std::function<void()>& bringForward)
{
    if (m_active)
        return false;
    if (!m_deferredBringForward.empty()) {
        m_deferredBringForward.push_back(bringForward);
        return true;
    }
    if (!FrontWindows::shared().hasNote())
        return false;
    announceWillBecomeActive();
    // Nobody asked the window anything: the note is of no more use.
    if (!FrontWindows::shared().isHeld()) {
        FrontWindows::shared().forget();
        return false;
    }
    m_deferredBringForward.push_back(bringForward);
    m_holdLimit->start();
    return true;
}

void Application::bringForwardNow()
{
    m_holdLimit->stop();
    const std::vector<std::function<void()>> deferred = std::exchange(m_deferredBringForward, {});
    for (const auto& bringForward : deferred)
        bringForward();
}

void Application::announceWillBecomeActive()
{
    m_willBecomeActiveTold = true;
    if (m_delegate)
        m_delegate->applicationWillBecomeActive();
    // A window manager that never hands the focus over must not swallow the next activation's notice.
    QTimer::singleShot(2000, this, [this] {
        if (!m_active)
            m_willBecomeActiveTold = false;
    });
}

void Application::activateIgnoringOtherApps(bool flag)
{
    if (deferBringingForward([this, flag] { activateIgnoringOtherApps(flag); }))
        return;
    // Asked for now: a focus loss still being confirmed must not hide what comes forward before the
    // window manager has handed the focus over.
    m_resignPending = false;
    const QList<QPointer<QWidget>> hidden = std::exchange(m_hiddenWindows, {});
    for (const QPointer<QWidget>& window : hidden) {
        if (!window)
            continue;
        window->removeEventFilter(this);
        window->show();
    }

    QWidget* key = m_keyWindow && m_keyWindow->isVisible() ? m_keyWindow.data() : nullptr;
    if (!key) {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (isOrdinaryWindow(widget) && widget->isVisible()) {
                key = widget;
                break;
            }
        }
    }
    if (!key)
        return;
    orderFront(key);
    focusWindow(key);
    m_keyWindow = key;
}

void Application::makeKeyAndOrderFront(QWidget* window)
{
    if (!window)
        return;
    if (deferBringingForward([this, target = QPointer<QWidget>(window)] { makeKeyAndOrderFront(target); }))
        return;
    m_resignPending = false;
    orderFront(window);
    focusWindow(window);
    if (isOrdinaryWindow(window))
        m_keyWindow = window;
}

void Application::focusWindow(QWidget* window)
{
    // Under X11 this asks the window manager (_NET_ACTIVE_WINDOW) to focus the window.
    window->activateWindow();
    if (!m_activationToken.isEmpty() && window->windowHandle())
        XdgActivation::activate(window->windowHandle(), std::exchange(m_activationToken, QString()));
}

void Application::hide()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || !widget->isWindow() || isUnmanaged(widget))
            continue;
        if (isOrdinaryWindow(widget)) {
            m_hiddenWindows.append(widget);
            widget->installEventFilter(this);
        }
        widget->hide();
    }
}

void Application::orderOut(QWidget* window)
{
    if (!window)
        return;
    forgetHidden(window);
    window->hide();
}

void Application::forgetHidden(QObject* window)
{
    for (qsizetype i = m_hiddenWindows.size() - 1; i >= 0; --i) {
        if (m_hiddenWindows.at(i) == window || !m_hiddenWindows.at(i))
            m_hiddenWindows.removeAt(i);
    }
    window->removeEventFilter(this);
}

bool Application::eventFilter(QObject* watched, QEvent* event)
{
    // A window closed while the program is hidden stays closed when it comes back.
    if (event->type() == QEvent::Close)
        forgetHidden(watched);
    return QObject::eventFilter(watched, event);
}

void Application::terminate()
{
    if (m_terminating)
        return;
    m_terminating = true;
    if (m_delegate)
        m_delegate->applicationWillTerminate();
    emit didTerminate();
    QCoreApplication::exit(0);
}

void Application::applicationStateChanged(Qt::ApplicationState state)
{
    m_reportedState = state;
    if (state == Qt::ApplicationActive) {
        m_resignPending = false;
        if (!m_active)
            becomeActive();
        return;
    }
    if (!m_active || m_resignPending)
        return;
    m_resignPending = true;
    QTimer::singleShot(resignConfirmationMs, this, &Application::confirmResign);
}

void Application::becomeActive()
{
    if (m_delegate && !std::exchange(m_willBecomeActiveTold, false))
        m_delegate->applicationWillBecomeActive();
    m_active = true;
    if (m_delegate)
        m_delegate->applicationDidBecomeActive();
}

void Application::confirmResign()
{
    if (!m_resignPending)
        return;
    if (m_reportedState == Qt::ApplicationActive) {
        m_resignPending = false;
        return;
    }
    // Hiding now would close an open dialog or menu under the person's hands (a hidden modal dialog
    // ends its loop as if cancelled); look again once it is gone.
    if (ownWindowHoldsFocus()) {
        QTimer::singleShot(resignConfirmationMs, this, &Application::confirmResign);
        return;
    }
    m_resignPending = false;
    m_active = false;
    HBDebug() << "Application resigns active";
    if (m_delegate)
        m_delegate->applicationWillResignActive();
}

bool Application::ownWindowHoldsFocus() const
{
    return QApplication::activePopupWidget() || QApplication::activeModalWidget();
}

}  // namespace hb
