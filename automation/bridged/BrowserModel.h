#pragma once

#include "automation/Types.h"

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace automation::bridged {

// A window of a bridged browser as its extension last described it.
struct BridgeWindow
{
    std::int64_t id = 0;
    WindowState state = WindowState::Normal;
    bool fullscreen = false;
    bool focused = false;
    Rect bounds;
};

// A tab of a bridged browser.
struct BridgeTab
{
    std::int64_t id = 0;
    std::int64_t windowId = 0;
    std::int64_t index = 0;
    bool active = false;
    bool loading = false;
    std::string title;
    std::string url;
};

// One browser's windows and tabs, fed by its extension's snapshot and events; nothing
// here asks the browser. Whatever the extension sends, a value that does not read as
// the protocol describes is skipped, never trusted.
class BrowserModel
{
public:
    // Replaces everything with a snapshot ({windows, tabs}); tabs already known keep
    // their place in the order of discovery.
    void applySnapshot(const nlohmann::json& snapshot);
    // Applies one event message ({"type":"event","name":...}).
    void applyEvent(const nlohmann::json& event);
    // Takes a window or a tab a reply described (after a command acted on it).
    void takeWindow(const nlohmann::json& window);
    void takeTab(const nlohmann::json& tab);
    void removeTab(std::int64_t tabId);
    void removeWindow(std::int64_t windowId);

    // The tabs in order of discovery; tabs whose window is not known yet are left out.
    std::vector<const BridgeTab*> tabs() const;
    const BridgeTab* tab(std::int64_t id) const;
    const BridgeWindow* window(std::int64_t id) const;
    // The tab shown in a window.
    const BridgeTab* activeTab(std::int64_t windowId) const;
    // The window that has the focus, when this browser has it.
    std::optional<std::int64_t> focusedWindow() const { return m_focused; }

    // How many events and snapshots came in, for seeing that reads need none.
    std::uint64_t updates() const { return m_updates; }

private:
    void focus(std::int64_t windowId);

    std::map<std::int64_t, BridgeWindow> m_windows;
    std::map<std::int64_t, BridgeTab> m_tabs;
    // Tab id -> when it was first seen.
    std::map<std::int64_t, std::uint64_t> m_discovered;
    std::uint64_t m_nextDiscovery = 0;
    std::optional<std::int64_t> m_focused;
    std::uint64_t m_updates = 0;
};

// Reads of the protocol's values, shared by the model and the commands.
std::optional<BridgeWindow> readWindow(const nlohmann::json& value);
std::optional<BridgeTab> readTab(const nlohmann::json& value);
// An id: a whole number from 0 to 2^53 - 1.
std::optional<std::int64_t> readId(const nlohmann::json& object, const char* key);

} // namespace automation::bridged
