#include "platform/vendor/ModalSession.h"

#include "platform/interface/Alert.h"

#include <QEvent>
#include <QEventLoop>
#include <QPointer>

#include <vector>

namespace hb::ModalSession {

namespace {

struct Run {
    QEventLoop loop;
    Ending ending = Ending::windowClosed;
};

std::vector<Run*>& runs()
{
    static std::vector<Run*> stack;
    return stack;
}

// Ends the run when its window goes away, however that happens.
class WindowWatcher : public QObject {
public:
    explicit WindowWatcher(Run& run) : m_run(run) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
            m_run.loop.quit();
        return QObject::eventFilter(watched, event);
    }

private:
    Run& m_run;
};

}  // namespace

Ending runModalForWindow(QWidget* window)
{
    Run run;
    WindowWatcher watcher(run);
    QPointer<QWidget> guarded(window);
    window->installEventFilter(&watcher);
    QObject::connect(window, &QObject::destroyed, &run.loop, &QEventLoop::quit);
    window->setWindowModality(Qt::ApplicationModal);
    window->show();
    window->raise();
    window->activateWindow();

    Modal::Scope scope;
    runs().push_back(&run);
    if (guarded && guarded->isVisible())
        run.loop.exec(QEventLoop::DialogExec);
    runs().pop_back();
    if (guarded)
        guarded->removeEventFilter(&watcher);
    return run.ending;
}

void stopModal()
{
    if (runs().empty())
        return;
    runs().back()->ending = Ending::stopped;
    runs().back()->loop.quit();
}

bool isRunning()
{
    return !runs().empty();
}

}  // namespace hb::ModalSession
