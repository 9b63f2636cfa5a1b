#include "automation/bridged/BridgedBrowser.h"

#include "automation/Error.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedDocument.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/ChromiumBrowser.h"

namespace automation::bridged {

using nlohmann::json;

void updateWindow(BridgePeer& peer, const std::string& member, std::int64_t windowId, json fields)
{
    peer.updateWindow(member, windowId, std::move(fields));
}

BridgedBrowser::BridgedBrowser(std::shared_ptr<BridgeHub> hub, std::shared_ptr<BridgePeer> peer,
                               std::int64_t tabId)
    : m_hub(std::move(hub)), m_peer(std::move(peer)), m_tabId(tabId)
{}

const BridgeTab& BridgedBrowser::use(const std::string& member)
{
    if (!m_peer->alive())
        throw Error(member, "the browser has gone");
    const BridgeTab* tab = m_peer->model().tab(m_tabId);
    if (!tab)
        throw Error(member, "the tab has been closed");
    return *tab;
}

bool BridgedBrowser::busy()
{
    if (!use("busy").loading)
        return false;
    // The browser counts a tab as loading while any of its frames does, and a frame
    // from another site can keep that up long after the page is complete; the list
    // goes by the page's own document, as it does over DevTools.
    bool loading = true;
    skipOnFailure([&] { loading = !BridgedDocument(m_hub, m_peer, m_tabId).complete("busy"); });
    return loading;
}

std::string BridgedBrowser::LocationURL()
{
    return use("LocationURL").url;
}

std::string BridgedBrowser::LocationName()
{
    const BridgeTab& tab = use("LocationName");
    return tab.title.empty() ? tab.url : tab.title;
}

std::string BridgedBrowser::browserName()
{
    use("browserName");
    return m_peer->info().product;
}

Hwnd BridgedBrowser::hWnd()
{
    const Hwnd handle = m_hub->handleOf(*m_peer, use("hWnd").windowId);
    if (handle == 0)
        throw Error("hWnd", "too many browser windows");
    return handle;
}

Rect BridgedBrowser::bounds()
{
    const BridgeWindow* window = m_peer->model().window(use("bounds").windowId);
    if (!window)
        throw Error("bounds", "the window has been closed");
    return window->bounds;
}

long BridgedBrowser::Height()
{
    const BridgeWindow* window = m_peer->model().window(use("Height").windowId);
    if (!window)
        throw Error("Height", "the window has been closed");
    return window->state == WindowState::Minimized ? chromium::kMinimizedHeight
                                                   : window->bounds.height;
}

long BridgedBrowser::Width()
{
    const BridgeWindow* window = m_peer->model().window(use("Width").windowId);
    if (!window)
        throw Error("Width", "the window has been closed");
    return window->state == WindowState::Minimized ? chromium::kMinimizedWidth
                                                   : window->bounds.width;
}

std::shared_ptr<HtmlDocument> BridgedBrowser::Document()
{
    use("Document");
    return std::make_shared<BridgedDocument>(m_hub, m_peer, m_tabId);
}

void BridgedBrowser::setState(const std::string& member, const char* state)
{
    updateWindow(*m_peer, member, use(member).windowId, {{"state", state}});
}

void BridgedBrowser::put(BrowserProperty property, bool value)
{
    const std::string member(memberName(property));
    const std::int64_t windowId = use(member).windowId;
    auto& stored = m_peer->storedProperties();
    const auto key = std::make_pair(m_tabId, static_cast<int>(property));
    switch (property) {
    case BrowserProperty::FullScreen:
    case BrowserProperty::TheaterMode:
        if (value) {
            setState(member, "fullscreen");
        } else if (const BridgeWindow* window = m_peer->model().window(windowId);
                   window && window->fullscreen) {
            setState(member, "normal");
        }
        break;
    case BrowserProperty::Visible:
        // An extension cannot hide a window; minimised is the nearest.
        if (!value)
            setState(member, "minimized");
        else if (const auto it = stored.find(key); it != stored.end() && !it->second)
            setState(member, "normal");
        break;
    case BrowserProperty::AddressBar:
    case BrowserProperty::Toolbar:
    case BrowserProperty::MenuBar:
    case BrowserProperty::Resizable:
        break;
    }
    stored[key] = value;
}

bool BridgedBrowser::get(BrowserProperty property)
{
    const std::string member(memberName(property));
    const BridgeTab& tab = use(member);
    if (property == BrowserProperty::FullScreen) {
        const BridgeWindow* window = m_peer->model().window(tab.windowId);
        return window && window->fullscreen;
    }
    const auto& stored = m_peer->storedProperties();
    if (const auto it = stored.find({m_tabId, static_cast<int>(property)}); it != stored.end())
        return it->second;
    return property != BrowserProperty::MenuBar && property != BrowserProperty::TheaterMode;
}

void BridgedBrowser::Navigate(const std::string& url)
{
    use("Navigate");
    const json result = m_peer->request(
        "Navigate", "tab.navigate",
        {{"tabId", m_tabId}, {"url", chromium::ChromiumBrowser::navigableAddress(url)}});
    m_peer->model().takeTab(chromium::checked::at(result, "tab"));
}

void BridgedBrowser::Quit()
{
    use("Quit");
    m_peer->request("Quit", "tab.remove", {{"tabId", m_tabId}});
    m_peer->model().removeTab(m_tabId);
}

} // namespace automation::bridged
