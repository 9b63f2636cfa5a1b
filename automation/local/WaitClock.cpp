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
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now());
            // Rounded up, so a wait never ends just before its deadline.
            const int timeout =
                static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60'000));
            pollfd p{fd, events, 0};
            const int n = ::poll(&p, 1, left.count() < 0 ? 0 : timeout);
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

WaitClock& WaitClock::steady()
{
    // Never destroyed: a child process still owned by a static object at exit waits on
    // it after the statics of this file are gone.
    static auto* const clock = new SteadyWaitClock;
    return *clock;
}

} // namespace automation
