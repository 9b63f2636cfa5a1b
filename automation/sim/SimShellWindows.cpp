#include "automation/sim/SimShellWindows.h"

#include "automation/sim/SimBrowser.h"
#include "automation/sim/SimState.h"

namespace automation::sim {

std::vector<std::shared_ptr<Browser>> SimShellWindows::items()
{
    std::vector<std::shared_ptr<Browser>> result;
    for (const auto& window : m_state.allWindows()) {
        if (!window->closed && window->inShellCollection())
            result.push_back(std::make_shared<SimBrowser>(m_state, window));
    }
    return result;
}

} // namespace automation::sim
