#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::sim {

class SimState;

// The shell: its window collection and its own arrangements of the desktop's windows.
class SimShell : public Shell
{
public:
    explicit SimShell(SimState& state) : m_state(state) {}
    std::shared_ptr<ShellWindows> windows() override;
    void MinimizeAll() override;
    void TileVertically() override;
    void TileHorizontally() override;
    void CascadeWindows() override;

private:
    void arrange(const char* how);

    SimState& m_state;
};

} // namespace automation::sim
