#pragma once

#include "automation/Browser.h"
#include "automation/chromium/BrowserConnection.h"
#include "automation/chromium/ChromiumSettings.h"
#include "automation/chromium/ModelRefresh.h"
#include "automation/chromium/PageCalls.h"
#include "automation/chromium/PageSheets.h"
#include "automation/chromium/ProtocolReplies.h"
#include "automation/chromium/ReadReuse.h"
#include "automation/chromium/TargetRegistry.h"
#include "automation/chromium/WindowCache.h"

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace automation::chromium {

// One browser as the automation objects see it: the connection to it, its tabs, its
// windows and calls into its pages, each kept by a part of its own, and what joins
// them. Started or attached on demand; when the browser goes away everything is
// forgotten and the next page opened starts it again.
class ChromiumClient
{
public:
    using Stamp = ReadReuse::Stamp;

    // The clock measures every wait and must outlive the client.
    explicit ChromiumClient(const ChromiumSettings& settings,
                            WaitClock& clock = WaitClock::steady());
    ~ChromiumClient();
    ChromiumClient(const ChromiumClient&) = delete;
    ChromiumClient& operator=(const ChromiumClient&) = delete;

    const ChromiumSettings& settings() const { return m_connection.settings(); }

    // Whether a browser is connected now (reading what has arrived first).
    bool connected() { return m_connection.connected(); }
    // Counts connections: objects of an earlier browser fail at once.
    std::uint64_t generation() const { return m_connection.generation(); }
    // Starts (or attaches to) the browser when none is connected.
    void ensureBrowser(const std::string& member) { m_connection.ensureBrowser(member); }
    // When attaching to a running browser: tries to connect, at most every few
    // seconds; true when connected.
    bool tryAttach() { return m_connection.tryAttach(); }
    // The process id of the browser the program started, 0 when none.
    int browserProcessId() const { return m_connection.browserProcessId(); }
    // Connects over a transport already open to a browser started elsewhere.
    void connectTransport(std::unique_ptr<Transport> transport)
    {
        m_connection.connectTransport(std::move(transport));
    }
    // Lets the browser go (the one the program started is ended).
    void disconnect() { m_connection.disconnect(); }

    // The page tabs in order of discovery (one target list); empty without a browser.
    std::vector<std::string> pageTargets() { return m_targets.pageTargets(); }
    // The same from the reading begun by beginRefresh when it is fresh (ending it
    // first when still open), else from a target list asked now.
    std::vector<std::string> listedPages();
    // Reads every tab and window at once, without waiting: the reads of the list that
    // follow are answered from it. True when complete already.
    bool beginRefresh() { return m_refresh.begin(); }
    // Takes in what has arrived since, without waiting; true once complete.
    bool continueRefresh() { return m_refresh.poll(); }
    bool knows(const std::string& targetId) const { return m_targets.knows(targetId); }
    // Takes in the events that have arrived (a tab's new address or title, a tab
    // closed) without waiting.
    void takeEvents() { m_connection.takeEvents(); }
    // Raises unless the tab is still open in the browser of that generation.
    void require(const std::string& member, const std::string& targetId, std::uint64_t generation);
    std::string url(const std::string& targetId) const { return m_targets.url(targetId); }
    std::string title(const std::string& targetId) const { return m_targets.title(targetId); }
    // A new window showing about:blank; returns its tab.
    std::string createWindow(const std::string& member);
    void closeTarget(const std::string& member, const std::string& targetId);
    // Raises, focuses and restores the tab's window and selects the tab.
    void activateTarget(const std::string& member, const std::string& targetId);
    // The tab showing this title: the one whose title the program read last, when it
    // still shows it (so that a caption made from a tab's title finds that tab, not an
    // earlier one with the same title), else the first in order.
    std::optional<std::string> findPageByTitle(const std::string& title);
    // The program read this title from the tab's document.
    void noteTitleRead(const std::string& targetId, const std::string& title)
    {
        m_titleRead = {targetId, title};
    }

    // The tab's window.
    WindowBounds windowOf(const std::string& member, const std::string& targetId)
    {
        return m_windows.windowOf(member, targetId);
    }
    WindowBounds windowBounds(const std::string& member, std::int64_t windowId)
    {
        return m_windows.windowBounds(member, windowId);
    }
    void setWindowState(const std::string& member, std::int64_t windowId, WindowState state)
    {
        m_windows.setWindowState(member, windowId, state);
    }
    // Moves or sizes a window: brings it to the normal state first, in its own call.
    void setWindowRect(const std::string& member, std::int64_t windowId, const WindowRect& rect)
    {
        m_windows.setWindowRect(member, windowId, rect);
    }
    // The tab last seen showing in the window, for restoring it.
    std::optional<std::string> shownTab(std::int64_t windowId)
    {
        return m_windows.shownTab(windowId);
    }
    // Window changes made between the two are sent at once and their answers awaited
    // together (batches nest); the commit never raises.
    void beginWindowBatch() { m_windows.beginBatch(); }
    void commitWindowBatch() { m_windows.commitBatch(); }

    PageSnapshot snapshot(const std::string& member, const std::string& targetId);
    // Evaluates source text in the program's world of the page; its value. For looking
    // at a page as the program's scripts see it (tests); the program itself calls
    // functions.
    nlohmann::json evaluate(const std::string& member, const std::string& targetId,
                            const std::string& expression)
    {
        return m_pages.evaluate(member, targetId, expression);
    }
    // Calls a fixed function in the page with the values as its arguments; it may
    // change the page, so reads made before are not reused.
    nlohmann::json callFunction(const std::string& member, const std::string& targetId,
                                const std::string& declaration, const nlohmann::json& args)
    {
        return m_pages.callFunction(member, targetId, declaration, args);
    }
    // The same for a function that only reads.
    nlohmann::json readFunction(const std::string& member, const std::string& targetId,
                                const std::string& declaration, const nlohmann::json& args)
    {
        return m_pages.readFunction(member, targetId, declaration, args);
    }
    void navigate(const std::string& member, const std::string& targetId, const std::string& url)
    {
        m_pages.navigate(member, targetId, url);
    }
    // The page's own frames, in the order of window.frames.
    std::vector<FrameAddress> childFrames(const std::string& member, const std::string& targetId)
    {
        return m_pages.childFrames(member, targetId);
    }
    // Every frame below the page, from the frame tree and the cross-site frames.
    std::vector<FrameAddress> allFrames(const std::string& member, const std::string& targetId)
    {
        return m_pages.allFrames(member, targetId);
    }
    // The byte size of a resource the page loaded.
    std::optional<long long> resourceSize(const std::string& member, const std::string& targetId,
                                          const std::string& url)
    {
        return m_pages.resourceSize(member, targetId, url);
    }
    // The byte sizes of every resource the page loaded, by address.
    const std::map<std::string, long long>& resourceSizes(const std::string& member,
                                                          const std::string& targetId)
    {
        return m_pages.resourceSizes(member, targetId);
    }

    // Puts text into one of the program's own style sheets in the tab's document,
    // replacing what that sheet held.
    void putPageSheet(const std::string& member, const std::string& targetId, PageSheets::Kind kind,
                      const std::string& text)
    {
        m_reuse.invalidate();
        m_sheets.put(member, targetId, kind, text);
    }

    // Values the program wrote to a tab's properties, so that reading them back is
    // truthful.
    std::optional<bool> storedProperty(const std::string& targetId, BrowserProperty property) const
    {
        return m_targets.storedProperty(targetId, property);
    }
    void storeProperty(const std::string& targetId, BrowserProperty property, bool value)
    {
        m_targets.storeProperty(targetId, property, value);
    }

    // The connection itself and a tab's attached session, for measuring the program
    // against the least a client must do.
    DevToolsSession& protocol(const std::string& member) { return m_connection.session(member); }
    std::string attachedSession(const std::string& member, const std::string& targetId)
    {
        return m_targets.sessionFor(member, targetId);
    }

    // Something changed: reads made before are not reused.
    void invalidate() { m_reuse.invalidate(); }
    Stamp now() const { return m_reuse.now(); }
    bool fresh(const Stamp& stamp) const { return m_reuse.fresh(stamp); }
    // Protocol requests that waited for an answer, over every connection so far.
    std::int64_t roundTrips() const { return m_connection.roundTrips(); }

    // Tabs and frames the program keeps track of at most: more are not followed.
    static constexpr std::size_t kMaxTargets = TargetRegistry::kMaxTargets;

private:
    BrowserConnection m_connection;
    ReadReuse m_reuse;
    TargetRegistry m_targets;
    WindowCache m_windows;
    PageCalls m_pages;
    PageSheets m_sheets;
    ModelRefresh m_refresh;
    // The tab whose title the program read last, and that title.
    std::pair<std::string, std::string> m_titleRead;
};

} // namespace automation::chromium
