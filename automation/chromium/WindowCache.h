#pragma once

#include "automation/chromium/BrowserConnection.h"
#include "automation/chromium/ProtocolReplies.h"
#include "automation/chromium/ReadReuse.h"
#include "automation/chromium/TargetRegistry.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace automation::chromium {

// A new place or size for a window; what is left out stays.
struct WindowRect
{
    std::optional<int> left;
    std::optional<int> top;
    std::optional<int> width;
    std::optional<int> height;
};

// The browser's windows: their bounds and state, the window each tab is in, and the
// tab last seen showing in each. Reads are reused briefly; changes go to the browser.
class WindowCache : public TargetListener
{
public:
    WindowCache(BrowserConnection& connection, TargetRegistry& targets, ReadReuse& reuse);
    WindowCache(const WindowCache&) = delete;
    WindowCache& operator=(const WindowCache&) = delete;

    // The tab's window.
    WindowBounds windowOf(const std::string& member, const std::string& targetId);
    WindowBounds windowBounds(const std::string& member, std::int64_t windowId);
    void setWindowState(const std::string& member, std::int64_t windowId, WindowState state);
    // Moves or sizes a window: brings it to the normal state first, in its own call.
    void setWindowRect(const std::string& member, std::int64_t windowId, const WindowRect& rect);
    // The tab last seen showing in the window, for restoring it.
    std::optional<std::string> shownTab(std::int64_t windowId);
    // The tab shows in its window (when the program knows which window that is).
    void tabShown(const std::string& targetId);

    // Opens a batch: until it is committed, changes of state, place and size are sent
    // without waiting for their answers. Batches nest.
    void beginBatch();
    // Sends what waited for a window to come back to the normal state once every such
    // window has, then awaits every answer together, with one deadline. Never raises:
    // a change that failed is skipped.
    void commitBatch();

    // Forgets everything (the browser is gone).
    void clear();

    // For reading many windows at once: the window the tab was last seen in, however
    // long ago; 0 when not known.
    std::int64_t lastWindowOf(const std::string& targetId) const;
    // Takes in a reading of the tab's window, or of a window's bounds.
    void takeWindowOf(const std::string& targetId, const WindowOfTarget& window);
    void takeBounds(std::int64_t windowId, const BoundsReading& bounds);
    // The window could not be read (it is gone, or its tabs moved): which window each
    // of its tabs is in is asked again.
    void forgetWindow(std::int64_t windowId);
    // The window was not read this time: what was read of it last stands, for it and
    // the tabs last seen in it.
    void keepWindow(std::int64_t windowId);

    void documentGone(const std::string&) override {}
    void targetGone(const std::string& targetId) override { m_tabs.erase(targetId); }

private:
    struct Window
    {
        WindowBounds bounds;
        ReadReuse::Stamp stamp;
        std::string shownTab;
    };
    struct TabWindow
    {
        std::int64_t windowId = 0;
        ReadReuse::Stamp stamp;
    };

    // A place or size held back until its window is in the normal state.
    struct HeldRect
    {
        std::string member;
        std::int64_t windowId = 0;
        WindowRect rect;
    };

    const WindowBounds& remember(std::int64_t windowId, const BoundsReading& bounds);
    void sendState(const std::string& member, std::int64_t windowId, WindowState state);
    void sendRect(const std::string& member, std::int64_t windowId, const WindowRect& rect);
    void sendBounds(const std::string& member, std::int64_t windowId, nlohmann::json bounds);
    // Waits, polling every window at once, until the windows being restored are in the
    // normal state or the deadline passes; a window that is gone is left out.
    void awaitRestored(const std::string& member, Deadline deadline);

    BrowserConnection& m_connection;
    TargetRegistry& m_targets;
    ReadReuse& m_reuse;
    std::map<std::int64_t, Window> m_windows;
    std::map<std::string, TabWindow> m_tabs;

    int m_batchDepth = 0;
    std::vector<DevToolsSession::Posted> m_posted;
    std::set<std::int64_t> m_restoring;
    std::vector<HeldRect> m_held;
};

} // namespace automation::chromium
