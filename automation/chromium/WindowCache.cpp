#include "automation/chromium/WindowCache.h"

#include "automation/Error.h"

#include <utility>

namespace automation::chromium {

using nlohmann::json;

WindowCache::WindowCache(BrowserConnection& connection, TargetRegistry& targets, ReadReuse& reuse)
    : m_connection(connection), m_targets(targets), m_reuse(reuse)
{}

void WindowCache::clear()
{
    m_windows.clear();
    m_tabs.clear();
    // What the batch sent went to a browser that is gone.
    m_posted.clear();
    m_restoring.clear();
    m_held.clear();
}

const WindowBounds& WindowCache::remember(std::int64_t windowId, const BoundsReading& bounds)
{
    // Places and sizes no screen has are not taken; what was known stays.
    Window& window = m_windows[windowId];
    window.bounds.windowId = windowId;
    bounds.applyTo(window.bounds);
    window.stamp = m_reuse.now();
    return window.bounds;
}

WindowBounds WindowCache::windowOf(const std::string& member, const std::string& targetId)
{
    m_connection.session(member);
    m_targets.known(member, targetId);
    if (const auto tab = m_tabs.find(targetId);
        tab != m_tabs.end() && tab->second.windowId != 0 && m_reuse.fresh(tab->second.stamp)) {
        const auto it = m_windows.find(tab->second.windowId);
        if (it != m_windows.end() && m_reuse.fresh(it->second.stamp))
            return it->second.bounds;
    }
    const WindowOfTarget window = readWindowOfTarget(
        m_connection.browserCall(member, "Browser.getWindowForTarget", {{"targetId", targetId}}));
    if (!window.windowId)
        throw Error(member, "the tab has no window");
    m_targets.known(member, targetId);
    m_tabs[targetId] = {*window.windowId, m_reuse.now()};
    return remember(*window.windowId, window.bounds);
}

WindowBounds WindowCache::windowBounds(const std::string& member, std::int64_t windowId)
{
    m_connection.session(member);
    const auto it = m_windows.find(windowId);
    if (it != m_windows.end() && m_reuse.fresh(it->second.stamp))
        return it->second.bounds;
    return remember(windowId, readWindowBounds(m_connection.browserCall(
                                  member, "Browser.getWindowBounds", {{"windowId", windowId}})));
}

void WindowCache::setWindowState(const std::string& member, std::int64_t windowId,
                                 WindowState state)
{
    sendBounds(member, windowId, {{"windowState", protocolName(state)}});
}

void WindowCache::sendBounds(const std::string& member, std::int64_t windowId, json bounds)
{
    m_reuse.invalidate();
    json params = {{"windowId", windowId}, {"bounds", std::move(bounds)}};
    if (m_batchDepth > 0) {
        m_connection.session(member);
        m_posted.push_back(m_connection.postKept({member,
                                                  "Browser.setWindowBounds",
                                                  std::move(params),
                                                  {},
                                                  m_connection.settings().browserTimeout}));
        return;
    }
    m_connection.browserCall(member, "Browser.setWindowBounds", std::move(params));
}

void WindowCache::sendRect(const std::string& member, std::int64_t windowId, const WindowRect& rect)
{
    json bounds = json::object();
    const auto put = [&](const char* key, const std::optional<int>& value) {
        if (value)
            bounds[key] = *value;
    };
    put("left", rect.left);
    put("top", rect.top);
    put("width", rect.width);
    put("height", rect.height);
    sendBounds(member, windowId, std::move(bounds));
}

void WindowCache::setWindowRect(const std::string& member, std::int64_t windowId,
                                const WindowRect& rect)
{
    if (m_batchDepth > 0) {
        // In a batch the restore is sent now and the place or size once every window
        // of the batch being restored has come back, so they wait for it together.
        if (m_restoring.count(windowId) == 0 &&
            windowBounds(member, windowId).state != WindowState::Normal) {
            setWindowState(member, windowId, WindowState::Normal);
            m_restoring.insert(windowId);
        }
        if (m_restoring.count(windowId) != 0) {
            m_held.push_back({member, windowId, rect});
            return;
        }
        sendRect(member, windowId, rect);
        return;
    }
    // The browser changes the geometry only of a window in the normal state, and
    // not in the same call that changes the state.
    if (windowBounds(member, windowId).state != WindowState::Normal) {
        setWindowState(member, windowId, WindowState::Normal);
        // The window manager carries the change out on its own time; a size given
        // before it has would be undone by the restore.
        WaitClock& clock = m_connection.clock();
        const auto until = clock.now() + m_connection.settings().browserTimeout / 2;
        while (windowBounds(member, windowId).state != WindowState::Normal && clock.now() < until) {
            clock.sleepFor(std::chrono::milliseconds(10));
            m_reuse.invalidate();
        }
    }
    sendRect(member, windowId, rect);
}

void WindowCache::beginBatch()
{
    ++m_batchDepth;
}

void WindowCache::commitBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    // Still a batch while what was held back is sent: it is posted like the rest.
    m_batchDepth = 1;
    WaitClock& clock = m_connection.clock();
    const std::chrono::milliseconds timeout = m_connection.settings().browserTimeout;
    if (!m_held.empty()) {
        awaitRestored(m_held.front().member, clock.now() + timeout / 2);
        // Sent in the order they were asked; a window that is gone fails on its own.
        for (const HeldRect& held : std::exchange(m_held, {})) {
            try {
                sendRect(held.member, held.windowId, held.rect);
            } catch (const Error&) {
            }
        }
    }
    m_restoring.clear();
    m_batchDepth = 0;
    const auto posted = std::exchange(m_posted, {});
    if (!posted.empty())
        m_connection.collect(posted, clock.now() + timeout);
    m_reuse.invalidate();
}

void WindowCache::awaitRestored(const std::string& member, Deadline deadline)
{
    WaitClock& clock = m_connection.clock();
    std::vector<std::int64_t> waiting(m_restoring.begin(), m_restoring.end());
    for (;;) {
        std::vector<DevToolsSession::Posted> reads;
        reads.reserve(waiting.size());
        for (const std::int64_t windowId : waiting)
            reads.push_back(m_connection.postKept({member,
                                                   "Browser.getWindowBounds",
                                                   {{"windowId", windowId}},
                                                   {},
                                                   m_connection.settings().browserTimeout}));
        const auto answers = m_connection.collect(reads, deadline);
        std::vector<std::int64_t> still;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            // A window that cannot be read is gone: its change fails when it is sent.
            if (answers[i].error)
                continue;
            BoundsReading bounds;
            if (!skipOnFailure([&] { bounds = readWindowBounds(answers[i].result); }))
                continue;
            if (remember(waiting[i], bounds).state != WindowState::Normal)
                still.push_back(waiting[i]);
        }
        waiting = std::move(still);
        if (waiting.empty() || clock.now() >= deadline)
            return;
        clock.sleepFor(std::chrono::milliseconds(10));
    }
}

std::int64_t WindowCache::lastWindowOf(const std::string& targetId) const
{
    const auto tab = m_tabs.find(targetId);
    return tab == m_tabs.end() ? 0 : tab->second.windowId;
}

void WindowCache::takeWindowOf(const std::string& targetId, const WindowOfTarget& window)
{
    if (!window.windowId || !m_targets.knows(targetId))
        return;
    m_tabs[targetId] = {*window.windowId, m_reuse.now()};
    remember(*window.windowId, window.bounds);
}

void WindowCache::takeBounds(std::int64_t windowId, const BoundsReading& bounds)
{
    remember(windowId, bounds);
    // The tabs last seen in it are there still, as far as the program can tell without
    // asking each.
    keepWindow(windowId);
}

void WindowCache::keepWindow(std::int64_t windowId)
{
    const auto it = m_windows.find(windowId);
    if (it == m_windows.end())
        return;
    it->second.stamp = m_reuse.now();
    for (auto& [id, tab] : m_tabs) {
        if (tab.windowId == windowId)
            tab.stamp = m_reuse.now();
    }
}

void WindowCache::forgetWindow(std::int64_t windowId)
{
    m_windows.erase(windowId);
    std::erase_if(m_tabs, [&](const auto& tab) { return tab.second.windowId == windowId; });
}

void WindowCache::tabShown(const std::string& targetId)
{
    if (const auto tab = m_tabs.find(targetId); tab != m_tabs.end() && tab->second.windowId != 0)
        m_windows[tab->second.windowId].shownTab = targetId;
}

std::optional<std::string> WindowCache::shownTab(std::int64_t windowId)
{
    const auto it = m_windows.find(windowId);
    if (it != m_windows.end() && m_targets.knows(it->second.shownTab))
        return it->second.shownTab;
    // Not seen yet: the first tab found in that window.
    for (const std::string& id : m_targets.pageTargets()) {
        const auto tab = m_tabs.find(id);
        std::int64_t window = tab == m_tabs.end() ? 0 : tab->second.windowId;
        if (window == 0) {
            try {
                window = windowOf("OpenIcon", id).windowId;
            } catch (const Error&) {
                continue;
            }
        }
        if (window == windowId)
            return id;
    }
    return std::nullopt;
}

} // namespace automation::chromium
