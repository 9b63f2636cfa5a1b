#include "automation/sim/SimLauncher.h"

#include "automation/sim/SimState.h"

namespace automation::sim {

void SimLauncher::ShellExecute(Hwnd owner, const std::string& operation, const std::string& file,
                               const std::string& parameters, const std::string& directory,
                               int show)
{
    m_state.record({{"op", "ShellExecute"},
                    {"hwnd", owner},
                    {"operation", operation},
                    {"file", file},
                    {"parameters", parameters},
                    {"directory", directory},
                    {"show", show}});
}

void SimLauncher::StartProgram(const std::string& commandLine, int show)
{
    m_state.record({{"op", "StartProgram"}, {"commandLine", commandLine}, {"show", show}});
}

} // namespace automation::sim
