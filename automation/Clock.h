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
};

} // namespace automation
