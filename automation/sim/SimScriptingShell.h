#pragma once

#include "automation/Shell.h"

#include <memory>
#include <string>

namespace automation::sim {

class SimState;

// The scripting shell: the special folders the setup names.
class SimScriptingShell : public ScriptingShell
{
public:
    explicit SimScriptingShell(SimState& state) : m_state(state) {}
    std::string SpecialFolders(const std::string& name) override;

private:
    SimState& m_state;
};

} // namespace automation::sim
