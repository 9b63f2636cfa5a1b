#include "automation/sim/SimObjectFactory.h"

#include "automation/sim/SimBrowser.h"
#include "automation/sim/SimScriptingShell.h"
#include "automation/sim/SimShell.h"
#include "automation/sim/SimState.h"

#include <algorithm>

namespace automation::sim {

std::shared_ptr<Shell> SimObjectFactory::createShell()
{
    return std::make_shared<SimShell>(m_state);
}

std::shared_ptr<ScriptingShell> SimObjectFactory::createScriptingShell()
{
    return std::make_shared<SimScriptingShell>(m_state);
}

std::shared_ptr<Browser> SimObjectFactory::createBrowserIn(const std::string& browserName)
{
    const auto& windows = m_state.allWindows();
    const bool there = std::any_of(windows.begin(), windows.end(), [&](const auto& window) {
        return !window->closed && window->kind == SimKind::Browser &&
               window->browser == browserName;
    });
    if (browserName.empty() || !there)
        return createBrowser();
    auto window = m_state.newBrowserWindow();
    window->browser = browserName;
    m_state.record({{"op", "CreateBrowser"}, {"window", window->id}, {"browser", browserName}});
    return std::make_shared<SimBrowser>(m_state, std::move(window));
}

std::shared_ptr<Browser> SimObjectFactory::createBrowser()
{
    auto window = m_state.newBrowserWindow();
    m_state.record({{"op", "CreateBrowser"}, {"window", window->id}});
    return std::make_shared<SimBrowser>(m_state, std::move(window));
}

} // namespace automation::sim
