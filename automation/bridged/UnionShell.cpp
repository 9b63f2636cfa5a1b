#include "automation/bridged/UnionShell.h"

#include "automation/Error.h"
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

private:
    std::shared_ptr<ShellWindows> m_inner;
    std::shared_ptr<BridgeHub> m_hub;
};

// Reading a browser's windows back after an arrangement: short, since the list
// goes on without it.
constexpr std::chrono::milliseconds kReadBackTimeout{1000};

} // namespace

UnionShell::UnionShell(std::shared_ptr<Shell> inner, std::shared_ptr<BridgeHub> hub)
    : m_inner(std::move(inner)), m_hub(std::move(hub))
{}

std::shared_ptr<ShellWindows> UnionShell::windows()
{
    return std::make_shared<UnionShellWindows>(m_inner->windows(), m_hub);
}

void UnionShell::readBack()
{
    for (const auto& peer : m_hub->peers()) {
        skipOnFailure([&] {
            peer->model().applySnapshot(peer->request("MinimizeAll", "snapshot",
                                                      nlohmann::json::object(), kReadBackTimeout));
        });
    }
}

void UnionShell::MinimizeAll()
{
    m_inner->MinimizeAll();
    readBack();
}

void UnionShell::TileVertically()
{
    m_inner->TileVertically();
    readBack();
}

void UnionShell::TileHorizontally()
{
    m_inner->TileHorizontally();
    readBack();
}

void UnionShell::CascadeWindows()
{
    m_inner->CascadeWindows();
    readBack();
}

} // namespace automation::bridged
