#pragma once

#include <chrono>

namespace automation {

// What waiting on a descriptor gave.
enum class FdReady
{
    Ready,
    Timeout,
    Error
};

// The time the program's blocking waits are measured by: talking to a browser, waiting
// for a child process. Every deadline is a point of this clock and is checked by it,
// so tests hand in a clock of their own and see a wait run out without waiting.
//
// Not automation::Clock: that one is the user interface's time (its timers run on the
// GUI thread); this one only reads a steady time and blocks the calling thread, on
// any thread.
class WaitClock
{
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~WaitClock() = default;

    virtual TimePoint now() = 0;
    // Waits until fd is ready for the events (POLLIN, POLLOUT) or the deadline has
    // passed; an interrupted wait goes on waiting.
    virtual FdReady waitFd(int fd, short events, TimePoint deadline) = 0;
    // Waits until the deadline has passed.
    virtual void sleepUntil(TimePoint deadline) = 0;

    void sleepFor(std::chrono::milliseconds span) { sleepUntil(now() + span); }

    // The timeout poll() is given for the time left before a deadline: none once the
    // deadline has come (a look without waiting must not sleep), else the time left
    // rounded up to whole milliseconds, so a wait never ends just before its deadline.
    static int pollTimeoutMs(std::chrono::nanoseconds left);

    // The machine's steady clock. It keeps no state, so every thread may share it.
    static WaitClock& steady();
};

} // namespace automation
