#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;

namespace hb {

// What the program is told about its own life: launch, activation changes and termination.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationDidFinishLaunching() {}
    virtual void applicationWillBecomeActive() {}
    virtual void applicationDidBecomeActive() {}
    virtual void applicationWillResignActive() {}
    virtual void applicationWillTerminate() {}
};

// The running program over the QApplication: activation, hiding and the one quit path.
// Closing the last window never quits; every quit goes through terminate().
class Application : public QObject {
    Q_OBJECT
public:
    // Needs a QApplication; made on first use.
    static Application& shared();

    void setDelegate(ApplicationDelegate* delegate);  // not owned; null clears
    ApplicationDelegate* delegate() const { return m_delegate; }

    // Raises the soft limit of open files to the hard one, tells the delegate
    // applicationDidFinishLaunching, then runs the event loop; answers its exit code. While it runs,
    // SIGTERM and SIGINT take the quit path (terminate(), without asking); a second one ends the
    // process at once.
    int run();

    // Shows the windows hide() put away, then shows, raises and activates the key window (the window
    // that was active last, else the first visible top-level window). Under X11 the window manager is
    // asked to focus it. The flag is kept for callers' sake: activation always takes focus here.
    void activateIgnoringOtherApps(bool flag);
    // Shows, raises and focuses the window and makes it the one activation brings forward, so a later
    // activateIgnoringOtherApps does not hand focus back to the window that had it before.
    void makeKeyAndOrderFront(QWidget* window);
    // When the person comes to the program from another window (the front window is noted), tells the
    // delegate that the program will become active now, and, while whoever asks that window for its
    // selection holds the note, keeps `bringForward` (showing and focusing a window) until they are
    // done: the window asked must still have the focus. Answers true when `bringForward` was kept; it
    // then runs once the note is released, or after FrontWindows::holdLimit at most.
    bool deferBringingForward(const std::function<void()>& bringForward);

    // Hides every visible top-level window; the next activation shows them again, except those closed
    // or put away (orderOut) while hidden.
    void hide();
    void orderOut(QWidget* window);
    bool isHidden() const { return !m_hiddenWindows.isEmpty(); }
    // Tells the delegate applicationWillTerminate, then quits the event loop. Safe to call twice.
    void terminate();

    bool isActive() const { return m_active; }

    // The desktop's activation token for the next time the program takes the focus (a global shortcut
    // pressed through the portal on Wayland): the window brought forward then presents it to the
    // compositor (xdg-activation). A newer token replaces one not used yet.
    void setActivationToken(const QString& token) { m_activationToken = token; }
    QString pendingActivationToken() const { return m_activationToken; }

    // The program's main window, which the windows it starts open beside; not owned.
    void setMainWindow(QWidget* window) { m_mainWindow = window; }
    QWidget* mainWindow() const { return m_mainWindow; }

    // How long an apparent loss of focus must last before it counts as resigning: focus moving between
    // the program's own windows (a dialog, a menu, the progress window) passes through "inactive".
    static constexpr int resignConfirmationMs = 150;

signals:
    void didTerminate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // SIGTERM and SIGINT handled for the life of run().
    class QuitSignals {
    public:
        explicit QuitSignals(Application* application);
        ~QuitSignals();
        QuitSignals(const QuitSignals&) = delete;
        QuitSignals& operator=(const QuitSignals&) = delete;

    private:
        std::unique_ptr<QSocketNotifier> m_notifier;
        struct sigaction m_previousTerm {};
        struct sigaction m_previousInt {};
        bool m_installed = false;
    };

    Application();
    void forgetHidden(QObject* window);
    void applicationStateChanged(Qt::ApplicationState state);
    void confirmResign();
    bool ownWindowHoldsFocus() const;
    void becomeActive();
    void announceWillBecomeActive();
    void bringForwardNow();
    // Asks for the focus for the window, with the desktop's token when one is waiting.
    void focusWindow(QWidget* window);

    ApplicationDelegate* m_delegate = nullptr;
    bool m_active = false;
    bool m_terminating = false;
    bool m_resignPending = false;
    QElapsedTimer m_resignWait;  // since the loss of focus that is being confirmed
    Qt::ApplicationState m_reportedState = Qt::ApplicationInactive;
    QPointer<QWidget> m_keyWindow;
    QPointer<QWidget> m_mainWindow;
    QList<QPointer<QWidget>> m_hiddenWindows;
    // The delegate was told the program will become active before its window took the focus.
    bool m_willBecomeActiveTold = false;
    std::vector<std::function<void()>> m_deferredBringForward;
    QTimer* m_holdLimit = nullptr;
    QString m_activationToken;
};

}  // namespace hb
