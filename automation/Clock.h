#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace automation {

// A repeating timer; it stops when destroyed.
class Timer
{
public:
    virtual ~Timer() = default;
};

// Time as the program sees it: the refresh timer, waits, and "let pending events run".
class Clock
{
public:
    virtual ~Clock() = default;

    // Milliseconds since an arbitrary start.
    virtual std::int64_t nowMs() = 0;
    // Starts a timer that calls onTick every intervalMs on the user-interface thread.
    virtual std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) = 0;
    // Lets pending events run once (timer ticks and user input among them), then returns.
    virtual void DoEvents() = 0;
    // Runs work that waits for a browser with the windows still painting: while it
    // waits, events other than user input run and the timers skip their ticks. A clock
    // that cannot do that just runs it.
    virtual void whileAnswering(const std::function<void()>& work) { work(); }
    // Called by such work between the parts of something long that waits for nothing
    // (filling a window with a long text): the windows paint when they have not for a
    // while; outside whileAnswering it does nothing.
    virtual void betweenParts() {}
    // Whether work runs that way now: what is asked of the program from outside
    // meanwhile is turned away, since it would start a second wait inside the first.
    virtual bool answering() const { return false; }
};

} // namespace automation
