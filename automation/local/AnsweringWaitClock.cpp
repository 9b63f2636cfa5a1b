#include "automation/local/AnsweringWaitClock.h"

#include <algorithm>

namespace automation {

AnsweringWaitClock::AnsweringWaitClock(WaitClock& inner, std::chrono::milliseconds slice)
    : m_inner(inner), m_slice(std::max(slice, std::chrono::milliseconds(1)))
{}

void AnsweringWaitClock::setBetweenSlices(std::function<void()> task)
{
    m_task = std::move(task);
    m_lastTask = m_inner.now();
}

AnsweringWaitClock::TimePoint AnsweringWaitClock::sliceEnd(TimePoint deadline)
{
    return std::min(deadline, m_lastTask + m_slice);
}

bool AnsweringWaitClock::runTaskIfDue()
{
    if (m_inner.now() < m_lastTask + m_slice)
        return false;
    runTask();
    return true;
}

void AnsweringWaitClock::runTask()
{
    m_inTask = true;
    struct Done
    {
        AnsweringWaitClock& clock;
        ~Done()
        {
            clock.m_inTask = false;
            clock.m_lastTask = clock.m_inner.now();
        }
    } done{*this};
    // The task may clear itself; it runs from a copy.
    const std::function<void()> task = m_task;
    task();
}

void AnsweringWaitClock::betweenParts()
{
    if (slicing())
        runTaskIfDue();
}

FdReady AnsweringWaitClock::waitFd(int fd, short events, TimePoint deadline)
{
    for (;;) {
        if (!slicing())
            return m_inner.waitFd(fd, events, deadline);
        if (runTaskIfDue())
            continue;
        const TimePoint end = sliceEnd(deadline);
        const FdReady ready = m_inner.waitFd(fd, events, end);
        if (ready != FdReady::Timeout || end >= deadline)
            return ready;
        runTask();
    }
}

void AnsweringWaitClock::sleepUntil(TimePoint deadline)
{
    for (;;) {
        if (!slicing()) {
            m_inner.sleepUntil(deadline);
            return;
        }
        if (runTaskIfDue())
            continue;
        const TimePoint end = sliceEnd(deadline);
        m_inner.sleepUntil(end);
        if (end >= deadline)
            return;
        runTask();
    }
}

} // namespace automation
