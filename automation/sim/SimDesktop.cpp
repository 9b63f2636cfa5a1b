#include "automation/sim/SimDesktop.h"

#include "app/Cp932.h"
#include "automation/sim/SimObjects.h"

#include <algorithm>
#include <cmath>

namespace automation::sim {

using nlohmann::json;

namespace {
const std::string kMain = "main";
}

SimDesktop::SimDesktop(SimSetup setup)
    : m_setup(std::move(setup)), m_files(*this, m_disk), m_launcher(*this), m_help(*this)
{}

SimDesktop::~SimDesktop() = default;

Platform SimDesktop::platform()
{
    return Platform{*this, *this, m_launcher, m_dialogs, m_dialogs, m_help, m_clock, m_files};
}

// ---- control ----

Hwnd SimDesktop::freshHandle()
{
    while (m_usedHandles.count(m_nextHandle) || m_nextHandle == kMainHwnd)
        m_nextHandle += 16;
    const Hwnd handle = m_nextHandle;
    m_usedHandles.insert(handle);
    m_nextHandle += 16;
    return handle;
}

SimWindow& SimDesktop::openWindow(SimWindow window, bool hasOwnHandle)
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

void SimDesktop::closeWindow(const std::string& id)
{
    if (SimWindow* window = find(id))
        browserClosed(*window);
}

void SimDesktop::windowChanged(SimWindow& window, std::optional<WindowState> newState)
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

SimWindow* SimDesktop::find(const std::string& id)
{
    for (const auto& window : m_windows) {
        if (window->id == id)
            return window.get();
    }
    return nullptr;
}

std::string SimDesktop::idOf(const Browser* browser) const
{
    if (const auto* sim = dynamic_cast<const SimBrowserObject*>(browser))
        return sim->id();
    return {};
}

bool SimDesktop::isTopMost(const std::string& id) const
{
    return m_topMost.count(id) > 0;
}

json SimDesktop::takeCalls()
{
    json calls = std::move(m_calls);
    m_calls = json::array();
    return calls;
}

void SimDesktop::record(json call)
{
    m_calls.push_back(std::move(call));
}

void SimDesktop::recordRead(const SimWindow& window, const char* target, std::string_view prop)
{
    if (m_setup.logReads)
        record({{"op", "get"}, {"window", window.id}, {"target", target}, {"prop", prop}});
}

std::pair<int, int> SimDesktop::screenPixels() const
{
    const auto& s = m_setup.screen;
    return {
        static_cast<int>(static_cast<float>(s.widthTwips) / static_cast<float>(s.twipsPerPixelX)),
        static_cast<int>(static_cast<float>(s.heightTwips) / static_cast<float>(s.twipsPerPixelY))};
}

// ---- z-order ----

void SimDesktop::removeFromZorder(std::string id)
{
    m_zorder.erase(std::remove(m_zorder.begin(), m_zorder.end(), id), m_zorder.end());
}

void SimDesktop::bringToFront(std::string id)
{
    removeFromZorder(id);
    auto at = m_zorder.begin();
    if (!isTopMost(id)) {
        while (at != m_zorder.end() && isTopMost(*at))
            ++at;
    }
    m_zorder.insert(at, id);
}

void SimDesktop::sendToBack(std::string id)
{
    removeFromZorder(id);
    m_zorder.push_back(id);
}

void SimDesktop::activate(std::string id)
{
    bringToFront(id);
    m_active = id;
}

void SimDesktop::browserShown(SimWindow& window)
{
    if (window.state != WindowState::Minimized)
        activate(window.id);
}

void SimDesktop::browserClosed(SimWindow& window)
{
    window.closed = true;
    removeFromZorder(window.id);
    m_topMost.erase(window.id);
    if (m_active == window.id)
        m_active.clear();
}

void SimDesktop::minimize(std::string id)
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

void SimDesktop::restore(std::string id)
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

SimWindow* SimDesktop::byHandle(Hwnd hwnd)
{
    if (hwnd == 0)
        return nullptr;
    for (auto it = m_windows.rbegin(); it != m_windows.rend(); ++it) {
        if (!(*it)->closed && (*it)->hwnd == hwnd)
            return it->get();
    }
    return nullptr;
}

// ---- object factory ----

std::shared_ptr<Shell> SimDesktop::createShell()
{
    return std::make_shared<SimShellObject>(*this);
}

std::shared_ptr<ScriptingShell> SimDesktop::createScriptingShell()
{
    return std::make_shared<SimScriptingShellObject>(*this);
}

std::shared_ptr<Browser> SimDesktop::createBrowser()
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
    record({{"op", "CreateBrowser"}, {"window", shared->id}});
    return std::make_shared<SimBrowserObject>(*this, shared);
}

// ---- window manager ----

Hwnd SimDesktop::attachMainWindow(HostWindow& window)
{
    m_host = &window;
    activate(kMain);
    return kMainHwnd;
}

void SimDesktop::detachMainWindow()
{
    m_host = nullptr;
    removeFromZorder(kMain);
    m_topMost.erase(kMain);
    if (m_active == kMain)
        m_active.clear();
}

void SimDesktop::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                              unsigned flags)
{
    json call = {
        {"op", "SetWindowPos"}, {"hwnd", hwnd}, {"insertAfter", insertAfter}, {"flags", flags}};
    const std::string id = idOfHandle(hwnd);
    if (id.empty())
        call["failed"] = true;
    record(std::move(call));
    if (id.empty())
        return;
    SimWindow* window = id == kMain ? nullptr : find(id);

    if (insertAfter == HWND_TOPMOST) {
        m_topMost.insert(id);
        bringToFront(id);
    } else if (insertAfter == HWND_NOTOPMOST && isTopMost(id)) {
        m_topMost.erase(id);
        bringToFront(id);
    }
    if (window && !(flags & SWP_NOMOVE)) {
        window->bounds.left = x;
        window->bounds.top = y;
    }
    if (window && !(flags & SWP_NOSIZE)) {
        window->bounds.width = cx;
        window->bounds.height = cy;
    }
}

std::optional<WindowState> SimDesktop::stateOfHandle(Hwnd hwnd)
{
    const std::string id = idOfHandle(hwnd);
    if (id.empty())
        return std::nullopt;
    return id == kMain ? m_host->state() : find(id)->state;
}

bool SimDesktop::IsZoomed(Hwnd hwnd)
{
    return stateOfHandle(hwnd) == WindowState::Maximized;
}

bool SimDesktop::IsIconic(Hwnd hwnd)
{
    return stateOfHandle(hwnd) == WindowState::Minimized;
}

// The id of the open window, or of the main window, a handle names; "" when none.
std::string SimDesktop::idOfHandle(Hwnd hwnd)
{
    if (hwnd == kMainHwnd && m_host)
        return kMain;
    const SimWindow* window = byHandle(hwnd);
    return window ? window->id : std::string();
}

// Records a window-manager call on a handle; true when the handle names a window.
bool SimDesktop::recordHandleCall(const char* op, Hwnd hwnd, const std::string& id)
{
    json call = {{"op", op}, {"hwnd", hwnd}};
    if (id.empty())
        call["failed"] = true;
    record(std::move(call));
    return !id.empty();
}

void SimDesktop::CloseWindow(Hwnd hwnd)
{
    const std::string id = idOfHandle(hwnd);
    if (recordHandleCall("CloseWindow", hwnd, id))
        minimize(id);
}

void SimDesktop::OpenIcon(Hwnd hwnd)
{
    const std::string id = idOfHandle(hwnd);
    if (recordHandleCall("OpenIcon", hwnd, id))
        restore(id);
}

void SimDesktop::AppActivate(const std::string& caption)
{
    json call = {{"op", "AppActivate"}, {"caption", caption}};
    const auto match = std::find_if(m_zorder.begin(), m_zorder.end(), [&](const std::string& id) {
        return id == kMain ? (m_host && m_host->caption() == caption)
                           : find(id)->currentCaption() == caption;
    });
    if (match != m_zorder.end()) {
        // A copy: activating reorders m_zorder.
        const std::string id = *match;
        record(std::move(call));
        if (id == kMain)
            m_host->bringForward();
        activate(id);
        return;
    }
    call["failed"] = true;
    record(std::move(call));
    throw Error("AppActivate", "no window has the caption " + caption);
}

void SimDesktop::SendKeys(const std::string& keys)
{
    record({{"op", "SendKeys"}, {"keys", keys}});
    answerFavoriteKeys(keys);
}

// The browser's add-to-favourites dialog, driven by "%A{ENTER}", an optional
// "{TAB}", the name and "{ENTER}": it saves the active page as <name>.url in the
// Favourites folder, with a BASEURL= line for the page and one for each frame.
void SimDesktop::answerFavoriteKeys(const std::string& keys)
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
    SimWindow* window = find(m_active);
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
    const auto folder = m_setup.folders.find("Favorites");
    if (folder == m_setup.folders.end() || folder->second.empty())
        return;
    const std::string path = folder->second + "/" + name + ".url";
    m_clock.schedule(m_clock.nowMs() + std::max<std::int64_t>(0, window->favorite.delayMs),
                     [this, path, bytes = std::move(bytes)] { m_disk.replaceFile(path, bytes); });
}

// The shell's own arrangements, over every open top-level window that is shown and
// not minimised, in z-order. The program's main window is left where it is.
void SimDesktop::arrange(const char* how)
{
    const std::string op = how;
    record({{"op", op}});
    if (op == "MinimizeAll") {
        for (const std::string& id : std::vector<std::string>(m_zorder))
            minimize(id);
        m_active.clear();
        return;
    }

    std::vector<SimWindow*> windows;
    for (const std::string& id : m_zorder) {
        SimWindow* window = id == kMain ? nullptr : find(id);
        if (window && window->state != WindowState::Minimized &&
            window->props[BrowserProperty::Visible])
            windows.push_back(window);
    }
    const int n = static_cast<int>(windows.size());
    if (n == 0)
        return;
    const auto [sw, sh] = screenPixels();
    if (op == "CascadeWindows") {
        const int width = sw * 3 / 4;
        const int height = sh * 3 / 4;
        // Back to front, so the front window ends lowest and rightmost, still in front.
        for (int i = 0; i < n; ++i) {
            SimWindow* window = windows[static_cast<std::size_t>(n - 1 - i)];
            const int step = (25 * i) % std::max(25, std::min(sw - width, sh - height) + 1);
            window->state = WindowState::Normal;
            window->bounds = Rect{step, step, width, height};
        }
        return;
    }
    // Side by side (vertically) or stacked (horizontally); more than three windows make
    // a grid of about equal rows and columns.
    const int lines = n <= 3 ? n : static_cast<int>(std::ceil(std::sqrt(n)));
    const int across = (n + lines - 1) / lines;
    const bool vertical = op == "TileVertically";
    const int cols = vertical ? lines : across;
    const int rows = vertical ? across : lines;
    for (int i = 0; i < n; ++i) {
        const int col = vertical ? i % cols : i / rows;
        const int row = vertical ? i / cols : i % rows;
        SimWindow* window = windows[static_cast<std::size_t>(i)];
        window->state = WindowState::Normal;
        window->bounds = Rect{col * (sw / cols), row * (sh / rows), sw / cols, sh / rows};
    }
}

} // namespace automation::sim
