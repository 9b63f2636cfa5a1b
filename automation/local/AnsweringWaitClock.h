#pragma once

#include "automation/local/WaitClock.h"

#include <chrono>
#include <functional>

namespace automation {

// A wait clock that can let the windows paint while the program waits for a browser:
// while a task is set, every wait is cut into short slices and the task runs between
// them. A slice counts from the task's last run, so the work between two waits (reading
// a long answer) uses up the slice rather than adding to it. Without a task, a wait is
// the inner clock's, in one piece.
class AnsweringWaitClock : public WaitClock
{
public:
    explicit AnsweringWaitClock(WaitClock& inner = WaitClock::steady(),
                                std::chrono::milliseconds slice = std::chrono::milliseconds(15));

    TimePoint now() override { return m_inner.now(); }
    FdReady waitFd(int fd, short events, TimePoint deadline) override;
    void sleepUntil(TimePoint deadline) override;

    // The task run between slices; an empty one ends the slicing. A wait the task itself
    // makes is never sliced.
    void setBetweenSlices(std::function<void()> task);
    // For work that is long without waiting, called between its parts: runs the task
    // when the work since its last run has taken a slice; never from inside the task.
    void betweenParts();

private:
    bool slicing() const { return m_task && !m_inTask; }
    TimePoint sliceEnd(TimePoint deadline);
    void runTask();
    // Runs the task when the work since its last run has taken a slice already.
    bool runTaskIfDue();

    WaitClock& m_inner;
    std::chrono::milliseconds m_slice;
    std::function<void()> m_task;
    bool m_inTask = false;
    TimePoint m_lastTask;
};

} // namespace automation
