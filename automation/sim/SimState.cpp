#include "automation/sim/SimState.h"

#include <algorithm>

namespace automation::sim {

using nlohmann::json;

const std::string SimState::kMain = "main";

std::pair<int, int> SimState::screenPixels() const
{
    const auto& s = m_setup.screen;
    return {
        static_cast<int>(static_cast<float>(s.widthTwips) / static_cast<float>(s.twipsPerPixelX)),
        static_cast<int>(static_cast<float>(s.heightTwips) / static_cast<float>(s.twipsPerPixelY))};
}

// ---- windows ----

Hwnd SimState::freshHandle()
{
    while (m_usedHandles.count(m_nextHandle) || m_nextHandle == kMainHwnd)
        m_nextHandle += 16;
    const Hwnd handle = m_nextHandle;
    m_usedHandles.insert(handle);
    m_nextHandle += 16;
    return handle;
}

SimWindow& SimState::openWindow(SimWindow window, bool hasOwnHandle)
{
    if (hasOwnHandle)
        m_usedHandles.insert(window.hwnd);
    else
        window.hwnd = freshHandle();
    if (window.props.empty())
        window.props = defaultProps();
    window.closed = false;
    auto shared = std::make_shared<SimWindow>(std::move(window));
    m_windows.push_back(shared);
    m_zorder.push_back(shared->id);
    if (shared->state == WindowState::Minimized)
        shared->stateBeforeMinimize = WindowState::Normal;
    else
        activate(shared->id);
    return *shared;
}

std::shared_ptr<SimWindow> SimState::newBrowserWindow()
{
    SimWindow window;
    window.id = "new" + std::to_string(++m_newWindows);
    window.kind = SimKind::Browser;
    window.document = std::make_shared<SimDocumentData>();
    window.props = defaultProps();
    window.props[BrowserProperty::Visible] = false;
    window.hwnd = freshHandle();
    auto shared = std::make_shared<SimWindow>(std::move(window));
    m_windows.push_back(shared);
    m_zorder.push_back(shared->id);
    return shared;
}

void SimState::windowChanged(SimWindow& window, std::optional<WindowState> newState)
{
    if (!newState || *newState == window.state || window.closed)
        return;
    if (*newState == WindowState::Minimized) {
        window.stateBeforeMinimize = window.state;
        window.state = WindowState::Minimized;
        sendToBack(window.id);
        if (m_active == window.id)
            m_active.clear();
    } else {
        window.state = *newState;
    }
}

SimWindow* SimState::find(const std::string& id)
{
    for (const auto& window : m_windows) {
        if (window->id == id)
            return window.get();
    }
    return nullptr;
}

SimWindow* SimState::byHandle(Hwnd hwnd)
{
    if (hwnd == 0)
        return nullptr;
    // Searched from the newest window. Reverse iterators,
    // not a reversed view: clang 14 cannot compile libstdc++ 12's views.
    const auto found =
        std::find_if(m_windows.rbegin(), m_windows.rend(), [hwnd](const auto& window) {
            return !window->closed && window->hwnd == hwnd;
        });
    return found == m_windows.rend() ? nullptr : found->get();
}

std::string SimState::idOfHandle(Hwnd hwnd)
{
    if (hwnd == kMainHwnd && m_host)
        return kMain;
    const SimWindow* window = byHandle(hwnd);
    return window ? window->id : std::string();
}

std::optional<WindowState> SimState::stateOfHandle(Hwnd hwnd)
{
    const std::string id = idOfHandle(hwnd);
    if (id.empty())
        return std::nullopt;
    return id == kMain ? m_host->state() : find(id)->state;
}

bool SimState::isTopMost(const std::string& id) const
{
    return m_topMost.count(id) > 0;
}

// ---- z-order ----

void SimState::removeFromZorder(const std::string& id)
{
    m_zorder.erase(std::remove(m_zorder.begin(), m_zorder.end(), id), m_zorder.end());
}

void SimState::bringToFront(const std::string& id)
{
    removeFromZorder(id);
    auto at = m_zorder.begin();
    if (!isTopMost(id)) {
        while (at != m_zorder.end() && isTopMost(*at))
            ++at;
    }
    m_zorder.insert(at, id);
}

void SimState::sendToBack(const std::string& id)
{
    removeFromZorder(id);
    m_zorder.push_back(id);
}

void SimState::setTopMost(const std::string& id, bool topMost)
{
    if (topMost) {
        m_topMost.insert(id);
        bringToFront(id);
    } else if (isTopMost(id)) {
        m_topMost.erase(id);
        bringToFront(id);
    }
}

void SimState::activate(const std::string& id)
{
    bringToFront(id);
    m_active = id;
}

void SimState::browserShown(SimWindow& window)
{
    if (window.state != WindowState::Minimized)
        activate(window.id);
}

void SimState::browserClosed(SimWindow& window)
{
    window.closed = true;
    removeFromZorder(window.id);
    m_topMost.erase(window.id);
    if (m_active == window.id)
        m_active.clear();
}

void SimState::minimize(const std::string& id)
{
    if (id == kMain) {
        m_host->setState(WindowState::Minimized);
    } else if (SimWindow* window = find(id)) {
        if (window->state != WindowState::Minimized)
            window->stateBeforeMinimize = window->state;
        window->state = WindowState::Minimized;
    }
    sendToBack(id);
    if (m_active == id)
        m_active.clear();
}

void SimState::restore(const std::string& id)
{
    if (id == kMain) {
        if (m_host->state() == WindowState::Minimized)
            m_host->setState(WindowState::Normal);
        m_host->bringForward();
    } else if (SimWindow* window = find(id)) {
        if (window->state == WindowState::Minimized)
            window->state = window->stateBeforeMinimize;
    }
    activate(id);
}

// ---- the main window ----

Hwnd SimState::attachMain(HostWindow& window)
{
    m_host = &window;
    activate(kMain);
    return kMainHwnd;
}

void SimState::detachMain()
{
    m_host = nullptr;
    removeFromZorder(kMain);
    m_topMost.erase(kMain);
    if (m_active == kMain)
        m_active.clear();
}

// ---- the log ----

void SimState::record(json call)
{
    m_calls.push_back(std::move(call));
}

void SimState::recordRead(const SimWindow& window, const char* target, std::string_view prop)
{
    if (m_setup.logReads)
        record({{"op", "get"}, {"window", window.id}, {"target", target}, {"prop", prop}});
}

json SimState::takeCalls()
{
    json calls = std::move(m_calls);
    m_calls = json::array();
    return calls;
}

} // namespace automation::sim
