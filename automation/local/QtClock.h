#pragma once

#include "automation/Clock.h"

#include <QElapsedTimer>
#include <memory>

namespace automation {

// Real time, on Qt's event loop.
class AnsweringWaitClock;

class QtClock : public Clock
{
public:
    // waits is the clock the browsers' waits are measured by; without it, work never
    // runs with the windows painting.
    explicit QtClock(AnsweringWaitClock* waits = nullptr);
    std::int64_t nowMs() override;
    std::unique_ptr<Timer> startTimer(int intervalMs, std::function<void()> onTick) override;
    // Runs the event loop for a short while (50 ms), so a wait neither spins nor freezes
    // the windows.
    void DoEvents() override;
    void whileAnswering(const std::function<void()>& work) override;
    void betweenParts() override;
    bool answering() const override { return *m_answering; }

private:
    QElapsedTimer m_elapsed;
    AnsweringWaitClock* m_waits;
    std::shared_ptr<bool> m_answering = std::make_shared<bool>(false);
};

} // namespace automation
