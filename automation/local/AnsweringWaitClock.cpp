#include "automation/local/AnsweringWaitClock.h"

#include <algorithm>

namespace automation {

AnsweringWaitClock::AnsweringWaitClock(WaitClock& inner, std::chrono::milliseconds slice)
    : m_inner(inner), m_slice(std::max(slice, std::chrono::milliseconds(1)))
{}

AnsweringWaitClock::TimePoint AnsweringWaitClock::sliceEnd(TimePoint deadline)
{
    return std::min(deadline, m_inner.now() + m_slice);
}

void AnsweringWaitClock::runTask()
{
    m_inTask = true;
    struct Done
    {
        bool& inTask;
        ~Done() { inTask = false; }
    } done{m_inTask};
    // The task may clear itself; it runs from a copy.
    const std::function<void()> task = m_task;
    task();
}

FdReady AnsweringWaitClock::waitFd(int fd, short events, TimePoint deadline)
{
    for (;;) {
        if (!slicing())
            return m_inner.waitFd(fd, events, deadline);
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
        const TimePoint end = sliceEnd(deadline);
        m_inner.sleepUntil(end);
        if (end >= deadline)
            return;
        runTask();
    }
}

} // namespace automation
