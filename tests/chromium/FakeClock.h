#pragma once

#include "automation/local/WaitClock.h"

#include <cerrno>
#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <poll.h>

// A clock for tests of waits: it stands still while anything can still arrive, and a
// wait that nothing can end any more runs out at once, the clock jumping to its
// deadline. Whether anything can still arrive is the peer's to say: it is quiet when
// it has written all it will write until it is written to again. So a test sees
// exactly which deadlines a call ran into, however loaded the machine.
class FakeClock : public automation::WaitClock
{
public:
    explicit FakeClock(std::function<bool()> peerQuiet = [] { return true; })
        : m_peerQuiet(std::move(peerQuiet))
    {}

    TimePoint now() override
    {
        std::lock_guard lock(m_mutex);
        return m_now;
    }

    automation::FdReady waitFd(int fd, short events, TimePoint deadline) override
    {
        // Only a test that went wrong waits this long.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            // Asked before looking: what the peer wrote before it fell quiet is seen.
            const bool quiet = m_peerQuiet();
            pollfd p{fd, events, 0};
            const int n = ::poll(&p, 1, quiet ? 0 : 1);
            if (n > 0)
                return automation::FdReady::Ready;
            if (n < 0 && errno != EINTR)
                return automation::FdReady::Error;
            if (now() >= deadline)
                return automation::FdReady::Timeout;
            if (quiet) {
                sleepUntil(deadline);
                return automation::FdReady::Timeout;
            }
            if (std::chrono::steady_clock::now() > giveUp) {
                ADD_FAILURE() << "the peer never fell quiet";
                return automation::FdReady::Error;
            }
        }
    }

    void sleepUntil(TimePoint deadline) override
    {
        std::lock_guard lock(m_mutex);
        if (deadline > m_now)
            m_now = deadline;
    }

private:
    std::function<bool()> m_peerQuiet;
    std::mutex m_mutex;
    TimePoint m_now{std::chrono::hours(1)};
};
