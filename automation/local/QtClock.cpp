#include "automation/local/QtClock.h"

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
        QObject::connect(&m_timer, &QTimer::timeout, [tick = std::move(onTick)] { tick(); });
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
