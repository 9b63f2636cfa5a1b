#include "automation/bridged/UnionShell.h"

#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedBrowser.h"

namespace automation::bridged {

namespace {

class UnionShellWindows : public ShellWindows
{
public:
    UnionShellWindows(std::shared_ptr<ShellWindows> inner, std::shared_ptr<BridgeHub> hub)
        : m_inner(std::move(inner)), m_hub(std::move(hub))
    {}

    std::vector<std::shared_ptr<Browser>> items() override
    {
        std::vector<std::shared_ptr<Browser>> result = m_inner->items();
        m_hub->pump();
        for (const auto& peer : m_hub->peers()) {
            for (const BridgeTab* tab : peer->model().tabs())
                result.push_back(std::make_shared<BridgedBrowser>(m_hub, peer, tab->id));
        }
        return result;
    }

    // Bridged tabs answer from what their browser last said, so only the inner
    // collection has a reading to begin.
    bool beginRefresh() override { return m_inner->beginRefresh(); }
    bool continueRefresh() override { return m_inner->continueRefresh(); }

private:
    std::shared_ptr<ShellWindows> m_inner;
    std::shared_ptr<BridgeHub> m_hub;
};

} // namespace

UnionShell::UnionShell(std::shared_ptr<Shell> inner, std::shared_ptr<BridgeHub> hub)
    : m_inner(std::move(inner)), m_hub(std::move(hub))
{}

std::shared_ptr<ShellWindows> UnionShell::windows()
{
    return std::make_shared<UnionShellWindows>(m_inner->windows(), m_hub);
}

void UnionShell::MinimizeAll()
{
    m_inner->MinimizeAll();
    m_hub->windowsArranged();
}

void UnionShell::TileVertically()
{
    m_inner->TileVertically();
    m_hub->windowsArranged();
}

void UnionShell::TileHorizontally()
{
    m_inner->TileHorizontally();
    m_hub->windowsArranged();
}

void UnionShell::CascadeWindows()
{
    m_inner->CascadeWindows();
    m_hub->windowsArranged();
}

} // namespace automation::bridged
