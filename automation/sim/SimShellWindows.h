#pragma once

#include "automation/Shell.h"

#include <memory>
#include <string>

namespace automation::sim {

class SimState;

// The shell's window collection: every open browser and folder window, in the order
// they opened.
class SimShellWindows : public ShellWindows
{
public:
    explicit SimShellWindows(SimState& state) : m_state(state) {}
    std::vector<std::shared_ptr<Browser>> items() override;

private:
    SimState& m_state;
};

} // namespace automation::sim
