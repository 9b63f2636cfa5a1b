#include "automation/bridged/BrowserModel.h"

#include "automation/Limits.h"
#include "automation/WindowStateName.h"
#include "automation/chromium/Checked.h"

#include <algorithm>

namespace automation::bridged {

using nlohmann::json;
namespace checked = chromium::checked;

namespace {

constexpr std::int64_t kMaxId = (std::int64_t{1} << 53) - 1;
// Bounds of a window on any screen; more is a lie.
constexpr std::int64_t kMaxCoordinate = 1'000'000;

int coordinate(const json& window, const char* key, std::int64_t min)
{
    return static_cast<int>(checked::integerAt(window, key, min, kMaxCoordinate)
                                .value_or(std::max<std::int64_t>(min, 0)));
}

} // namespace

std::optional<std::int64_t> readId(const json& object, const char* key)
{
    return checked::integerAt(object, key, 0, kMaxId);
}

std::optional<BridgeWindow> readWindow(const json& value)
{
    const auto id = readId(value, "id");
    if (!id)
        return std::nullopt;
    BridgeWindow window;
    window.id = *id;
    const std::string state = checked::lineAt(value, "state", 32);
    window.fullscreen = state == "fullscreen";
    window.state = windowStateFromName(state).value_or(WindowState::Normal);
    window.focused = checked::booleanAt(value, "focused", false);
    window.bounds = {coordinate(value, "left", -kMaxCoordinate),
                     coordinate(value, "top", -kMaxCoordinate), coordinate(value, "width", 0),
                     coordinate(value, "height", 0)};
    return window;
}

std::optional<BridgeTab> readTab(const json& value)
{
    const auto id = readId(value, "id");
    const auto windowId = readId(value, "windowId");
    if (!id || !windowId)
        return std::nullopt;
    BridgeTab tab;
    tab.id = *id;
    tab.windowId = *windowId;
    tab.index = checked::integerAt(value, "index", 0, kMaxId).value_or(0);
    tab.active = checked::booleanAt(value, "active", false);
    tab.loading = checked::lineAt(value, "status", 32) == "loading";
    tab.title = checked::lineAt(value, "title", limits::kMaxPageText);
    tab.url = checked::lineAt(value, "url", limits::kMaxAddress);
    return tab;
}

void BrowserModel::applySnapshot(const json& snapshot)
{
    ++m_updates;
    m_windows.clear();
    m_focused.reset();
    for (const json& value : checked::arrayAt(snapshot, "windows"))
        takeWindow(value);
    std::map<std::int64_t, std::uint64_t> kept;
    std::map<std::int64_t, BridgeTab> tabs;
    for (const json& value : checked::arrayAt(snapshot, "tabs")) {
        auto tab = readTab(value);
        if (!tab)
            continue;
        const auto seen = m_discovered.find(tab->id);
        kept[tab->id] = seen != m_discovered.end() ? seen->second : m_nextDiscovery++;
        tabs[tab->id] = std::move(*tab);
    }
    m_tabs = std::move(tabs);
    m_discovered = std::move(kept);
}

void BrowserModel::takeWindow(const json& value)
{
    auto window = readWindow(value);
    if (!window)
        return;
    if (window->focused)
        focus(window->id);
    else if (m_focused == window->id)
        m_focused.reset();
    m_windows[window->id] = *window;
}

void BrowserModel::takeTab(const json& value)
{
    auto tab = readTab(value);
    if (!tab)
        return;
    if (tab->active) {
        // One tab shows in a window at a time.
        for (auto& [id, other] : m_tabs) {
            if (other.windowId == tab->windowId && id != tab->id)
                other.active = false;
        }
    }
    if (!m_discovered.contains(tab->id))
        m_discovered[tab->id] = m_nextDiscovery++;
    m_tabs[tab->id] = std::move(*tab);
}

void BrowserModel::removeTab(std::int64_t tabId)
{
    m_tabs.erase(tabId);
    m_discovered.erase(tabId);
}

void BrowserModel::removeWindow(std::int64_t windowId)
{
    m_windows.erase(windowId);
    if (m_focused == windowId)
        m_focused.reset();
    for (auto it = m_tabs.begin(); it != m_tabs.end();) {
        if (it->second.windowId == windowId) {
            m_discovered.erase(it->first);
            it = m_tabs.erase(it);
        } else {
            ++it;
        }
    }
}

void BrowserModel::focus(std::int64_t windowId)
{
    m_focused = windowId;
    for (auto& [id, window] : m_windows)
        window.focused = id == windowId;
}

void BrowserModel::applyEvent(const json& event)
{
    ++m_updates;
    const std::string name = checked::lineAt(event, "name", 64);
    if (name == "windows.onCreated" || name == "windows.onBoundsChanged") {
        takeWindow(checked::at(event, "window"));
    } else if (name == "windows.onRemoved") {
        if (const auto id = readId(event, "windowId"))
            removeWindow(*id);
    } else if (name == "windows.onFocusChanged") {
        // -1 (no window of this browser) reads as no id.
        if (const auto id = readId(event, "windowId"); id && m_windows.contains(*id))
            focus(*id);
        else {
            m_focused.reset();
            for (auto& entry : m_windows)
                entry.second.focused = false;
        }
    } else if (name == "tabs.onCreated" || name == "tabs.onUpdated") {
        takeTab(checked::at(event, "tab"));
    } else if (name == "tabs.onRemoved") {
        if (const auto id = readId(event, "tabId"))
            removeTab(*id);
    } else if (name == "tabs.onActivated") {
        const auto id = readId(event, "tabId");
        const auto windowId = readId(event, "windowId");
        if (!id || !windowId)
            return;
        for (auto& [tabId, tab] : m_tabs) {
            if (tab.windowId == *windowId)
                tab.active = tabId == *id;
        }
    } else if (name == "tabs.onAttached" || name == "tabs.onMoved") {
        const auto id = readId(event, "tabId");
        const auto windowId = readId(event, "windowId");
        const auto at = m_tabs.find(id.value_or(-1));
        if (!windowId || at == m_tabs.end())
            return;
        at->second.windowId = *windowId;
        if (const auto position = checked::integerAt(
                event, name == "tabs.onMoved" ? "toIndex" : "position", 0, kMaxId))
            at->second.index = *position;
    }
    // tabs.onDetached: the tab stays where it was until it is attached elsewhere.
}

std::vector<const BridgeTab*> BrowserModel::tabs() const
{
    std::vector<std::pair<std::uint64_t, const BridgeTab*>> found;
    for (const auto& [id, tab] : m_tabs) {
        if (!m_windows.contains(tab.windowId))
            continue;
        const auto seen = m_discovered.find(id);
        found.emplace_back(seen == m_discovered.end() ? UINT64_MAX : seen->second, &tab);
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<const BridgeTab*> result;
    result.reserve(found.size());
    for (const auto& entry : found)
        result.push_back(entry.second);
    return result;
}

const BridgeTab* BrowserModel::tab(std::int64_t id) const
{
    const auto at = m_tabs.find(id);
    return at == m_tabs.end() ? nullptr : &at->second;
}

const BridgeWindow* BrowserModel::window(std::int64_t id) const
{
    const auto at = m_windows.find(id);
    return at == m_windows.end() ? nullptr : &at->second;
}

const BridgeTab* BrowserModel::activeTab(std::int64_t windowId) const
{
    const BridgeTab* first = nullptr;
    for (const auto& [id, tab] : m_tabs) {
        if (tab.windowId != windowId)
            continue;
        if (tab.active)
            return &tab;
        if (!first || tab.index < first->index)
            first = &tab;
    }
    return first;
}

} // namespace automation::bridged
