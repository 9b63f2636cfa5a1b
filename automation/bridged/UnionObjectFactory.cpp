#include "automation/bridged/UnionObjectFactory.h"

#include "automation/Error.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedBrowser.h"
#include "automation/bridged/UnionShell.h"
#include "automation/chromium/Checked.h"

namespace automation::bridged {

using nlohmann::json;

UnionObjectFactory::UnionObjectFactory(ObjectFactory& inner, std::shared_ptr<BridgeHub> hub)
    : m_inner(inner), m_hub(std::move(hub))
{}

std::shared_ptr<Shell> UnionObjectFactory::createShell()
{
    return std::make_shared<UnionShell>(m_inner.createShell(), m_hub);
}

std::shared_ptr<ScriptingShell> UnionObjectFactory::createScriptingShell()
{
    return m_inner.createScriptingShell();
}

std::shared_ptr<Browser> UnionObjectFactory::createBrowser()
{
    m_hub->pump();
    const auto peer = m_hub->lastFocused();
    if (!peer)
        return m_inner.createBrowser();
    return createIn(peer);
}

std::shared_ptr<Browser> UnionObjectFactory::createBrowserIn(const std::string& browserName)
{
    if (browserName.empty())
        return m_inner.createBrowser();
    m_hub->pump();
    for (const auto& peer : m_hub->peers()) {
        if (peer->alive() && peer->info().product == browserName)
            return createIn(peer);
    }
    return createBrowser();
}

std::shared_ptr<Browser> UnionObjectFactory::createIn(const std::shared_ptr<BridgePeer>& peer)
{
    const json result = peer->request("createBrowser", "window.create",
                                      {{"url", "about:blank"}, {"focused", true}});
    const auto tabId = readId(result, "tabId");
    const auto windowId = readId(result, "windowId");
    if (!tabId || !windowId)
        throw Error("createBrowser", "the browser opened no window");
    peer->model().takeWindow(chromium::checked::at(result, "window"));
    // The tab's own events follow; until then it shows the blank page asked for.
    if (!peer->model().tab(*tabId))
        peer->model().takeTab({{"id", *tabId},
                               {"windowId", *windowId},
                               {"index", 0},
                               {"active", true},
                               {"status", "complete"},
                               {"url", "about:blank"},
                               {"title", ""}});
    return std::make_shared<BridgedBrowser>(m_hub, peer, *tabId);
}

} // namespace automation::bridged
