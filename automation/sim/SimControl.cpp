#include "automation/sim/SimControl.h"

#include "automation/sim/SimBrowser.h"
#include "automation/sim/SimState.h"

namespace automation::sim {

const SimSetup& SimControl::setup() const
{
    return m_state.setup();
}

SimWindow& SimControl::openWindow(SimWindow window, bool hasOwnHandle)
{
    return m_state.openWindow(std::move(window), hasOwnHandle);
}

void SimControl::closeWindow(const std::string& id)
{
    if (SimWindow* window = m_state.find(id))
        m_state.browserClosed(*window);
}

void SimControl::windowChanged(SimWindow& window, std::optional<WindowState> newState)
{
    m_state.windowChanged(window, newState);
}

SimWindow* SimControl::find(const std::string& id)
{
    return m_state.find(id);
}

const std::vector<std::shared_ptr<SimWindow>>& SimControl::allWindows() const
{
    return m_state.allWindows();
}

std::string SimControl::idOf(const Browser* browser) const
{
    if (const auto* sim = dynamic_cast<const SimBrowser*>(browser))
        return sim->id();
    return {};
}

const std::vector<std::string>& SimControl::zorder() const
{
    return m_state.zorder();
}

const std::string& SimControl::active() const
{
    return m_state.active();
}

bool SimControl::isTopMost(const std::string& id) const
{
    return m_state.isTopMost(id);
}

nlohmann::json SimControl::takeCalls()
{
    return m_state.takeCalls();
}

} // namespace automation::sim
