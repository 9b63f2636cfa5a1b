#include "automation/local/QtClock.h"

#include "automation/Guarded.h"
#include "automation/local/AnsweringWaitClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <memory>

namespace automation {

namespace {

class QtTimer : public Timer
{
public:
    QtTimer(int intervalMs, std::function<void()> onTick, std::shared_ptr<const bool> answering)
        : m_timer(std::make_unique<QTimer>()), m_ticking(std::make_shared<bool>(false))
    {
        m_timer->setInterval(intervalMs);
        // A tick that fails must not take the event loop with it. A tick while the
        // program waits for a browser with its windows painting would start a second
        // wait inside the first: it is skipped, the next one comes soon.
        QObject::connect(
            m_timer.get(), &QTimer::timeout,
            [tick = std::move(onTick), ticking = m_ticking, answering = std::move(answering)] {
                if (*answering)
                    return;
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

QtClock::QtClock(AnsweringWaitClock* waits) : m_waits(waits)
{
    m_elapsed.start();
}

std::int64_t QtClock::nowMs()
{
    return m_elapsed.elapsed();
}

std::unique_ptr<Timer> QtClock::startTimer(int intervalMs, std::function<void()> onTick)
{
    return std::make_unique<QtTimer>(intervalMs, std::move(onTick), m_answering);
}

void QtClock::DoEvents()
{
    QEventLoop loop;
    QTimer::singleShot(50, &loop, &QEventLoop::quit);
    loop.exec();
}

void QtClock::whileAnswering(const std::function<void()>& work)
{
    if (!m_waits || *m_answering) {
        work();
        return;
    }
    *m_answering = true;
    // Paint and window-system events run between the slices of every wait; the user's
    // input waits for the work to end, and nothing from a socket is read meanwhile.
    m_waits->setBetweenSlices([] {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                        QEventLoop::ExcludeSocketNotifiers);
    });
    struct Done
    {
        AnsweringWaitClock& waits;
        bool& answering;
        ~Done()
        {
            waits.setBetweenSlices({});
            answering = false;
        }
    } done{*m_waits, *m_answering};
    work();
}

void QtClock::betweenParts()
{
    if (m_waits && *m_answering)
        m_waits->betweenParts();
}

} // namespace automation
