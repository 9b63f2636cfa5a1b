#pragma once

#include "automation/Shell.h"

#include <memory>

namespace automation::sim {

class SimState;

// Makes the shell, the scripting shell and new browser windows of the simulated
// desktop.
class SimObjectFactory : public ObjectFactory
{
public:
    explicit SimObjectFactory(SimState& state) : m_state(state) {}

    std::shared_ptr<Shell> createShell() override;
    std::shared_ptr<ScriptingShell> createScriptingShell() override;
    // A new browser window, hidden until the program shows it.
    std::shared_ptr<Browser> createBrowser() override;
    // A browser program counts as there while one of its windows is open.
    std::shared_ptr<Browser> createBrowserIn(const std::string& browserName) override;

private:
    SimState& m_state;
};

} // namespace automation::sim
