#include "automation/local/WaitClock.h"

#include "automation/local/AnsweringWaitClock.h"
#include "automation/local/UniqueFd.h"

#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
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

TEST(AnsweringWaitClock, AWaitIsCutIntoSlicesWithTheTaskBetweenThemOnlyWhileATaskIsSet)
{
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    UniqueFd read(ends[0]);
    UniqueFd write(ends[1]);
    AnsweringWaitClock clock(WaitClock::steady(), 5ms);
    int runs = 0;
    int depth = 0;
    int deepest = 0;
    int quietEnds[2];
    ASSERT_EQ(::pipe(quietEnds), 0);
    UniqueFd quietRead(quietEnds[0]);
    UniqueFd quietWrite(quietEnds[1]);

    // No task: one wait to the deadline.
    EXPECT_EQ(clock.waitFd(read.get(), POLLIN, clock.now() + 30ms), FdReady::Timeout);

    // A wait the task makes itself is not cut again; the task may end the slicing.
    clock.setBetweenSlices([&] {
        ++runs;
        deepest = std::max(deepest, ++depth);
        EXPECT_EQ(clock.waitFd(quietRead.get(), POLLIN, clock.now() + 12ms), FdReady::Timeout);
        --depth;
    });
    std::thread writer([&] {
        std::this_thread::sleep_for(60ms);
        ASSERT_EQ(::write(write.get(), "x", 1), 1);
    });
    EXPECT_EQ(clock.waitFd(read.get(), POLLIN, clock.now() + 5s), FdReady::Ready);
    writer.join();
    EXPECT_GE(runs, 3);
    EXPECT_EQ(deepest, 1);

    // A deadline reached ends the wait as a timeout, whatever the task does.
    char byte = 0;
    ASSERT_EQ(::read(read.get(), &byte, 1), 1);
    runs = 0;
    const auto start = clock.now();
    EXPECT_EQ(clock.waitFd(read.get(), POLLIN, start + 40ms), FdReady::Timeout);
    EXPECT_GE(clock.now() - start, 40ms);
    EXPECT_GE(runs, 2);
    clock.sleepUntil(clock.now() + 20ms);
    EXPECT_GE(runs, 3);

    clock.setBetweenSlices({});
    runs = 0;
    clock.sleepUntil(clock.now() + 20ms);
    EXPECT_EQ(runs, 0);
}

TEST(AnsweringWaitClock, WorkBetweenWaitsUsesUpTheSliceRatherThanAddingToIt)
{
    AnsweringWaitClock clock(WaitClock::steady(), 20ms);
    int runs = 0;
    clock.setBetweenSlices([&] { ++runs; });

    // Soon after the last run, neither a short wait nor a part of some work runs it.
    clock.sleepUntil(clock.now() + 1ms);
    clock.betweenParts();
    EXPECT_EQ(runs, 0);

    // Work that took a slice since (an answer read): the next wait, even one with its
    // deadline passed, runs the task before it waits, and so does the next part.
    std::this_thread::sleep_for(25ms);
    clock.sleepUntil(clock.now());
    EXPECT_EQ(runs, 1);
    clock.betweenParts();
    EXPECT_EQ(runs, 1);
    std::this_thread::sleep_for(25ms);
    clock.betweenParts();
    EXPECT_EQ(runs, 2);

    // A task that ends the slicing leaves the rest of the wait in one piece.
    clock.setBetweenSlices([&] {
        ++runs;
        clock.setBetweenSlices({});
    });
    std::this_thread::sleep_for(25ms);
    const auto start = clock.now();
    clock.sleepUntil(start + 50ms);
    EXPECT_EQ(runs, 3);
    EXPECT_GE(clock.now() - start, 50ms);
}

} // namespace
} // namespace automation
