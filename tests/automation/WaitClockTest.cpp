#include "automation/local/WaitClock.h"

#include "automation/local/UniqueFd.h"

#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

namespace automation {
namespace {

using namespace std::chrono_literals;

TEST(WaitClock, ALookWithoutWaitingNeverSleepsAndAWaitNeverEndsEarly)
{
    // A deadline that has come, or just passed, is looked at without sleeping: a look
    // at the browser's pipe at every row of the list must not cost a millisecond each.
    EXPECT_EQ(WaitClock::pollTimeoutMs(0ns), 0);
    EXPECT_EQ(WaitClock::pollTimeoutMs(-1ns), 0);
    EXPECT_EQ(WaitClock::pollTimeoutMs(-5s), 0);
    // Any time left at all is waited for whole, never cut short by rounding down.
    EXPECT_EQ(WaitClock::pollTimeoutMs(1ns), 1);
    EXPECT_EQ(WaitClock::pollTimeoutMs(1ms), 1);
    EXPECT_EQ(WaitClock::pollTimeoutMs(1ms + 1ns), 2);
    EXPECT_EQ(WaitClock::pollTimeoutMs(1500us), 2);
    // Very long waits are made in steps poll can take; the caller waits again.
    EXPECT_EQ(WaitClock::pollTimeoutMs(std::chrono::hours(24 * 365)), 60'000);
}

TEST(WaitClock, ADescriptorIsReportedReadyOrTimedOutAtADeadlineThatHasCome)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    UniqueFd read(ends[0]);
    UniqueFd write(ends[1]);
    WaitClock& clock = WaitClock::steady();
    EXPECT_EQ(clock.waitFd(read.get(), POLLIN, clock.now()), FdReady::Timeout);
    ASSERT_EQ(::write(write.get(), "x", 1), 1);
    EXPECT_EQ(clock.waitFd(read.get(), POLLIN, clock.now() - 1s), FdReady::Ready);
}

} // namespace
} // namespace automation
