#include "automation/local/QtClock.h"

#include "automation/Guarded.h"

#include <QEventLoop>
#include <QTimer>
#include <memory>

namespace automation {

namespace {

class QtTimer : public Timer
{
public:
    QtTimer(int intervalMs, std::function<void()> onTick)
        : m_timer(std::make_unique<QTimer>()), m_ticking(std::make_shared<bool>(false))
    {
        m_timer->setInterval(intervalMs);
        // A tick that fails must not take the event loop with it.
        QObject::connect(m_timer.get(), &QTimer::timeout,
                         [tick = std::move(onTick), ticking = m_ticking] {
                             *ticking = true;
                             guarded("a timer tick", tick);
                             *ticking = false;
                         });
        m_timer->start();
    }
    ~QtTimer() override
    {
        m_timer->stop();
        // A timer stopped by its own tick is still delivering it: it goes once the tick
        // has returned to the event loop.
        if (*m_ticking)
            m_timer.release()->deleteLater();
    }
    QtTimer(const QtTimer&) = delete;
    QtTimer& operator=(const QtTimer&) = delete;

private:
    std::unique_ptr<QTimer> m_timer;
    std::shared_ptr<bool> m_ticking;
};

} // namespace

QtClock::QtClock()
{
    m_elapsed.start();
}

std::int64_t QtClock::nowMs()
{
    return m_elapsed.elapsed();
}

std::unique_ptr<Timer> QtClock::startTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<QtTimer>(intervalMs, std::move(onTick));
}

void QtClock::DoEvents()
{
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace automation
