#include "automation/local/QtClock.h"

#include "automation/Guarded.h"

#include <QEventLoop>
#include <QTimer>

namespace automation {

namespace {

class QtTimer : public Timer
{
public:
    QtTimer(int intervalMs, std::function<void()> onTick)
    {
        m_timer.setInterval(intervalMs);
        // A tick that fails must not take the event loop with it.
        QObject::connect(&m_timer, &QTimer::timeout,
                         [tick = std::move(onTick)] { guarded("a timer tick", tick); });
        m_timer.start();
    }

private:
    QTimer m_timer;
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
