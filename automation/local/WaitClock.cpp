#include "automation/local/WaitClock.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <thread>

namespace automation {

namespace {

class SteadyWaitClock : public WaitClock
{
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }

    FdReady waitFd(int fd, short events, TimePoint deadline) override
    {
        for (;;) {
            pollfd p{fd, events, 0};
            const int n = ::poll(&p, 1, pollTimeoutMs(deadline - now()));
            if (n > 0)
                return FdReady::Ready;
            if (n == 0) {
                if (now() >= deadline)
                    return FdReady::Timeout;
                continue;
            }
            if (errno != EINTR)
                return FdReady::Error;
        }
    }

    void sleepUntil(TimePoint deadline) override { std::this_thread::sleep_until(deadline); }
};

} // namespace

int WaitClock::pollTimeoutMs(std::chrono::nanoseconds left)
{
    if (left <= std::chrono::nanoseconds::zero())
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(left).count();
    return static_cast<int>(std::min<long long>(ms, 60'000));
}

WaitClock& WaitClock::steady()
{
    // Never destroyed: a child process still owned by a static object at exit waits on
    // it after the statics of this file are gone.
    static auto* const clock = new SteadyWaitClock;
    return *clock;
}

} // namespace automation
