#include "automation/sim/SimClock.h"

#include <algorithm>
#include <limits>

namespace automation::sim {

class SimClock::SimTimer : public Timer
{
public:
    SimTimer(SimClock& clock, int id) : m_clock(clock), m_id(id) {}
    ~SimTimer() override { m_clock.stopTimer(m_id); }

private:
    SimClock& m_clock;
    int m_id;
};

std::unique_ptr<Timer> SimClock::startTimer(int intervalMs, std::function<void()> onTick)
{
    const int id = m_nextTimerId++;
    m_timers[id] =
        TimerEntry{intervalMs > 0 ? intervalMs : 1, m_now + intervalMs, std::move(onTick)};
    return std::make_unique<SimTimer>(*this, id);
}

void SimClock::stopTimer(int id)
{
    m_timers.erase(id);
}

void SimClock::DoEvents()
{
    advance(kDoEventsMs);
}

void SimClock::schedule(std::int64_t atMs, std::function<void()> action)
{
    if (atMs <= m_now) {
        action();
        return;
    }
    m_actions.emplace(atMs, std::move(action));
}

void SimClock::advance(std::int64_t ms)
{
    const std::int64_t target = m_now + (ms > 0 ? ms : 0);
    while (runNextDue(target)) {
    }
    // A tick that let events run may have carried the time past the target already.
    m_now = std::max(m_now, target);
}

// Runs the earliest action or timer tick due by limit; false when none is.
bool SimClock::runNextDue(std::int64_t limit)
{
    std::int64_t when = std::numeric_limits<std::int64_t>::max();
    int timerId = 0;
    for (const auto& [id, timer] : m_timers) {
        // A tick never runs inside its own timer's tick.
        if (!timer.running && timer.due < when) {
            when = timer.due;
            timerId = id;
        }
    }
    const bool actionFirst = !m_actions.empty() && m_actions.begin()->first <= when;
    if (actionFirst)
        when = m_actions.begin()->first;
    if (when > limit)
        return false;
    if (when > m_now)
        m_now = when;

    if (actionFirst) {
        auto action = std::move(m_actions.begin()->second);
        m_actions.erase(m_actions.begin());
        action();
        return true;
    }

    auto it = m_timers.find(timerId);
    it->second.due += it->second.intervalMs;
    it->second.running = true;
    auto onTick = it->second.onTick; // the timer may be stopped by its own tick
    onTick();
    if (auto again = m_timers.find(timerId); again != m_timers.end()) {
        again->second.running = false;
        // Periods missed while the tick itself let events run are not made up.
        while (again->second.due <= m_now)
            again->second.due += again->second.intervalMs;
    }
    return true;
}

} // namespace automation::sim
