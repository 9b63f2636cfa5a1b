#pragma once

#include "automation/Clock.h"

#include <cstdint>
#include <functional>
#include <map>

namespace automation::sim {

// Virtual time. Nothing happens unless the driver advances it; timers and scheduled
// actions then run in time order, each at its own moment.
class SimClock : public Clock
{
public:
    static constexpr int kDoEventsMs = 100;

    std::int64_t nowMs() override { return m_now; }
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override;
    // One round of "let pending events run": 100 ms of virtual time pass.
    void DoEvents() override;

    // Lets ms of virtual time pass, running every timer tick and action that falls due.
    void advance(std::int64_t ms);
    // Runs action once when virtual time reaches atMs (at once if it already has).
    void schedule(std::int64_t atMs, std::function<void()> action);

private:
    struct TimerEntry
    {
        int intervalMs = 0;
        std::int64_t due = 0;
        std::function<void()> onTick;
        bool running = false;
    };
    class SimTimer;

    void stopTimer(int id);
    bool runNextDue(std::int64_t limit);

    std::int64_t m_now = 0;
    int m_nextTimerId = 1;
    std::map<int, TimerEntry> m_timers;
    std::multimap<std::int64_t, std::function<void()>> m_actions;
};

} // namespace automation::sim
