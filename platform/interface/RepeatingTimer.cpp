#include "platform/interface/RepeatingTimer.h"

#include "platform/interface/Alert.h"

namespace hb {

RepeatingTimer::RepeatingTimer(std::chrono::milliseconds interval, std::function<void()> tick, bool skipsWhileModal,
                               QObject* parent)
    : QObject(parent), m_tick(std::move(tick)), m_skipsWhileModal(skipsWhileModal)
{
    m_timer.setInterval(interval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RepeatingTimer::fire);
}

void RepeatingTimer::start()
{
    m_timer.start();
}

void RepeatingTimer::invalidate()
{
    m_timer.stop();
}

void RepeatingTimer::fire()
{
    if (m_skipsWhileModal && Modal::depth() > 0)
        return;
    m_tick();
}

}  // namespace hb
