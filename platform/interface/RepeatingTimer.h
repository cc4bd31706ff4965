#pragma once

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

namespace hb {

// A repeating timer on the GUI thread. It keeps firing while menus are open or something is
// dragged; with skipsWhileModal set, ticks that fall while a modal alert runs are dropped.
class RepeatingTimer : public QObject {
    Q_OBJECT
public:
    RepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick, bool skipsWhileModal,
                   QObject* parent = nullptr);

    void start();
    void invalidate();  // stops it for good; no tick follows
    bool isValid() const { return m_timer.isActive(); }

private:
    void fire();

    QTimer m_timer;
    std::function<void()> m_tick;
    bool m_skipsWhileModal;
};

}  // namespace hb
