#include "platform/interface/Application.h"

#include "platform/base/Log.h"
#include "platform/interface/DragHold.h"
#include "platform/interface/FrontWindow.h"
#include "platform/interface/XdgActivation.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWindow>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

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
// The soft limit of open files raised to the hard one, as desktop programs do: a shift holds folders
// and files open, and the usual soft limit of 1,024 is a remnant of select().
void raiseOpenFileLimit()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        HBDebug() << "The limit of open files stays at its soft value";
}

// SIGTERM and SIGINT (a logout, kill, Control-C) are handed to the event loop through a pipe and take
// the quit path; one that comes while the program is already quitting ends it at once.
int quitSignalPipe[2] = {-1, -1};
std::atomic<int> quitSignalsReceived{0};
static_assert(std::atomic<int>::is_always_lock_free);

void onQuitSignal(int signal)
{
    if (quitSignalsReceived.fetch_add(1) > 0)
        ::_exit(128 + signal);
    const char number = char(signal);
    [[maybe_unused]] const ssize_t written = ::write(quitSignalPipe[1], &number, 1);
}

// Shown, out of the minimised state, and on top.
void orderFront(QWidget* window)
{
    if (window->isMinimized())
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    // Hidden while it had the focus (Escape, the end of set-up), the window is still Qt's focus window:
    // the window system's focus coming back is then no change, and its widgets would never take the
    // keyboard focus again.
    if (QGuiApplication::focusWindow() && QGuiApplication::focusWindow() == window->windowHandle()
        && QApplication::activeWindow() != window)
        QApplication::setActiveWindow(window);
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
    DragHold::shared();  // watching drags from the start
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow*) {
        QWidget* active = QApplication::activeWindow();
        if (isOrdinaryWindow(active))
            m_keyWindow = active;
    });
}

void Application::setDelegate(ApplicationDelegate* delegate)
{
    m_delegate = delegate;
}

int Application::run()
{
    m_terminating = false;
    raiseOpenFileLimit();
    const QuitSignals quitSignals(this);
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

Application::QuitSignals::QuitSignals(Application* application)
{
    quitSignalsReceived = 0;
    if (::pipe2(quitSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        HBDebug() << "Quit signals are not handled: no pipe";
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(quitSignalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, application, [application] {
        char number = 0;
        while (::read(quitSignalPipe[0], &number, 1) == 1)
            qCInfo(hbLog) << "Quitting on signal" << int(number);
        application->terminate();
    });
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &m_previousTerm);
    ::sigaction(SIGINT, &action, &m_previousInt);
    m_installed = true;
}

Application::QuitSignals::~QuitSignals()
{
    if (!m_installed)
        return;
    // What comes once the loop has ended is the default's again: it ends the program at once.
    ::sigaction(SIGTERM, &m_previousTerm, nullptr);
    ::sigaction(SIGINT, &m_previousInt, nullptr);
    m_notifier.reset();
    ::close(quitSignalPipe[0]);
    ::close(quitSignalPipe[1]);
    quitSignalPipe[0] = quitSignalPipe[1] = -1;
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
    m_resignWait.start();
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
    // ends its loop as if cancelled), or the window a drag from another program is heading for; look
    // again once it is gone.
    if (ownWindowHoldsFocus() || DragHold::shared().holdsResignation(m_resignWait.elapsed())) {
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
