#pragma once

#include "automation/Clock.h"

#include <QElapsedTimer>

namespace automation {

// Real time, on Qt's event loop.
class QtClock : public Clock
{
public:
    QtClock();
    std::int64_t nowMs() override;
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override;
    // Runs the event loop for a short while (50 ms), so a wait neither spins nor freezes
    // the windows.
    void DoEvents() override;

private:
    QElapsedTimer m_elapsed;
};

} // namespace automation
