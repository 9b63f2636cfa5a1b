#pragma once

#include "automation/Launcher.h"

#include <string>

namespace automation::sim {

class SimState;

// Programs started and files opened are recorded, nothing more.
class SimLauncher : public Launcher
{
public:
    explicit SimLauncher(SimState& state) : m_state(state) {}
    void ShellExecute(Hwnd owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int show) override;
    void StartProgram(const std::string& commandLine, int show) override;

private:
    SimState& m_state;
};

} // namespace automation::sim
