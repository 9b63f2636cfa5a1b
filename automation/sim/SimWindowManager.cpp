#include "automation/sim/SimWindowManager.h"

#include "automation/Error.h"
#include "automation/FileSystem.h"
#include "automation/sim/SimClock.h"
#include "automation/sim/SimState.h"
#include "base/Cp932.h"

#include <algorithm>

namespace automation::sim {

using nlohmann::json;

Hwnd SimWindowManager::attachMainWindow(HostWindow& window)
{
    return m_state.attachMain(window);
}

void SimWindowManager::detachMainWindow()
{
    m_state.detachMain();
}

void SimWindowManager::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                                    unsigned flags)
{
    json call = {
        {"op", "SetWindowPos"}, {"hwnd", hwnd}, {"insertAfter", insertAfter}, {"flags", flags}};
    const std::string id = m_state.idOfHandle(hwnd);
    if (id.empty())
        call["failed"] = true;
    m_state.record(std::move(call));
    if (id.empty())
        return;
    SimWindow* window = id == SimState::kMain ? nullptr : m_state.find(id);

    if (insertAfter == HWND_TOPMOST)
        m_state.setTopMost(id, true);
    else if (insertAfter == HWND_NOTOPMOST)
        m_state.setTopMost(id, false);
    if (window && !(flags & SWP_NOMOVE)) {
        window->bounds.left = x;
        window->bounds.top = y;
    }
    if (window && !(flags & SWP_NOSIZE)) {
        window->bounds.width = cx;
        window->bounds.height = cy;
    }
}

bool SimWindowManager::IsZoomed(Hwnd hwnd)
{
    return m_state.stateOfHandle(hwnd) == WindowState::Maximized;
}

bool SimWindowManager::IsIconic(Hwnd hwnd)
{
    return m_state.stateOfHandle(hwnd) == WindowState::Minimized;
}

// Records a window-manager call on a handle; true when the handle names a window.
bool SimWindowManager::recordHandleCall(const char* op, Hwnd hwnd, const std::string& id)
{
    json call = {{"op", op}, {"hwnd", hwnd}};
    if (id.empty())
        call["failed"] = true;
    m_state.record(std::move(call));
    return !id.empty();
}

void SimWindowManager::CloseWindow(Hwnd hwnd)
{
    const std::string id = m_state.idOfHandle(hwnd);
    if (recordHandleCall("CloseWindow", hwnd, id))
        m_state.minimize(id);
}

void SimWindowManager::ShowWindow(Hwnd hwnd, WindowState state)
{
    const std::string id = m_state.idOfHandle(hwnd);
    const char* const names[] = {"normal", "minimized", "maximized"};
    json call = {{"op", "ShowWindow"}, {"hwnd", hwnd}, {"state", names[static_cast<int>(state)]}};
    if (id.empty())
        call["failed"] = true;
    m_state.record(std::move(call));
    if (id.empty())
        throw Error("ShowWindow", "no window has this handle");
    if (state == WindowState::Minimized) {
        m_state.minimize(id);
    } else if (SimWindow* window = m_state.find(id)) {
        window->state = state;
    }
}

void SimWindowManager::OpenIcon(Hwnd hwnd)
{
    const std::string id = m_state.idOfHandle(hwnd);
    if (recordHandleCall("OpenIcon", hwnd, id))
        m_state.restore(id);
}

void SimWindowManager::AppActivate(const std::string& caption)
{
    json call = {{"op", "AppActivate"}, {"caption", caption}};
    HostWindow* main = m_state.main();
    const auto& zorder = m_state.zorder();
    const auto match = std::find_if(zorder.begin(), zorder.end(), [&](const std::string& id) {
        return id == SimState::kMain ? (main && main->caption() == caption)
                                     : m_state.find(id)->currentCaption() == caption;
    });
    if (match != zorder.end()) {
        // A copy: activating reorders the z-order the match points into.
        const std::string id = *match; // NOLINT(performance-unnecessary-copy-initialization)
        m_state.record(std::move(call));
        if (id == SimState::kMain)
            main->bringForward();
        m_state.activate(id);
        return;
    }
    call["failed"] = true;
    m_state.record(std::move(call));
    throw Error("AppActivate", "no window has the caption " + caption);
}

void SimWindowManager::SendKeys(const std::string& keys)
{
    m_state.record({{"op", "SendKeys"}, {"keys", keys}});
    answerFavoriteKeys(keys);
}

ScreenMetrics SimWindowManager::screen()
{
    return m_state.setup().screen;
}

// The browser's add-to-favourites dialog, driven by "%A{ENTER}", an optional
// "{TAB}", the name and "{ENTER}": it saves the active page as <name>.url in the
// Favourites folder, with a BASEURL= line for the page and one for each frame.
void SimWindowManager::answerFavoriteKeys(const std::string& keys)
{
    static const std::string open = "%A{ENTER}";
    static const std::string tab = "{TAB}";
    static const std::string enter = "{ENTER}";
    if (keys.rfind(open, 0) != 0 || keys.size() < open.size() + enter.size() ||
        keys.compare(keys.size() - enter.size(), enter.size(), enter) != 0)
        return;
    std::string name = keys.substr(open.size(), keys.size() - open.size() - enter.size());
    if (name.rfind(tab, 0) == 0)
        name.erase(0, tab.size());
    SimWindow* window = m_state.find(m_state.active());
    if (!window || window->kind != SimKind::Browser || window->favorite.never || name.empty())
        return;

    // Each value is encoded, then rid of the bytes that would end its line: a line
    // break in an address, or a character the codec writes back as one, adds no line.
    const auto line = [](std::string_view utf8) {
        std::string bytes = tabulon::toCp932(utf8);
        std::erase_if(bytes, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
        return bytes + "\r\n";
    };
    std::string bytes = "BASEURL=" + line(window->url);
    if (window->document) {
        for (const SimFrame& frame : window->document->frames)
            bytes += "BASEURL=" + line(frame.url);
    }
    bytes += "[InternetShortcut]\r\nURL=" + line(window->url);
    const auto& folders = m_state.setup().folders;
    const auto folder = folders.find("Favorites");
    if (folder == folders.end() || folder->second.empty())
        return;
    const std::string path = folder->second + "/" + name + ".url";
    m_clock.schedule(m_clock.nowMs() + std::max<std::int64_t>(0, window->favorite.delayMs),
                     [this, path, bytes = std::move(bytes)] { m_disk.replaceFile(path, bytes); });
}

} // namespace automation::sim
