#include "automation/sim/SimScriptingShell.h"

#include "automation/sim/SimState.h"

namespace automation::sim {

std::string SimScriptingShell::SpecialFolders(const std::string& name)
{
    const auto& folders = m_state.setup().folders;
    const auto it = folders.find(name);
    return it == folders.end() ? std::string() : it->second;
}

} // namespace automation::sim
