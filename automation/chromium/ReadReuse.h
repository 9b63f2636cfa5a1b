#pragma once

#include "automation/local/WaitClock.h"

#include <chrono>
#include <cstdint>

namespace automation::chromium {

// When a read of the browser may be reused: for a short while, and never across a
// change the program made since.
class ReadReuse
{
public:
    // A moment of reading.
    struct Stamp
    {
        std::uint64_t epoch = 0;
        WaitClock::TimePoint at;
    };

    ReadReuse(WaitClock& clock, std::chrono::milliseconds span) : m_clock(clock), m_span(span) {}

    Stamp now() const { return {m_epoch, m_clock.now()}; }
    // Whether what was read then may be reused now.
    bool fresh(const Stamp& stamp) const
    {
        return stamp.epoch == m_epoch && m_clock.now() - stamp.at < m_span;
    }
    // Something changed: reads made before are not reused.
    void invalidate() { ++m_epoch; }

private:
    WaitClock& m_clock;
    std::chrono::milliseconds m_span;
    // A stamp never made (epoch 0) is never fresh.
    std::uint64_t m_epoch = 1;
};

} // namespace automation::chromium
