#pragma once

#include "automation/Browser.h"
#include "automation/chromium/ChromiumProcess.h"
#include "automation/chromium/ChromiumSettings.h"
#include "automation/chromium/DevToolsSession.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace automation::chromium {

// A browser window as the protocol reports it.
struct WindowBounds
{
    std::int64_t windowId = 0;
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    // "normal", "minimized", "maximized" or "fullscreen".
    std::string state = "normal";
};

// What the list reads from a page, fetched in one evaluation.
struct PageSnapshot
{
    bool busy = false;
    // Nothing when the page's count is not one the program reads (above the limit).
    std::optional<int> frames = 0;
    bool visible = false;
    std::string title;
};

// A child frame of a page: its id, address and name.
struct FrameAddress
{
    std::string frameId;
    std::string url;
    std::string name;
};

// The connection to one browser and what the program knows of it: its tabs in the
// order they were first seen, their attached sessions, and reads of windows and pages
// that are reused briefly. Started or attached on demand; when the browser goes away
// everything is forgotten and the next page opened starts it again.
//
// The program's scripts run in a script world of its own in each page: they see the
// page's document, but with the browser's own built-ins, which no script of the page
// can replace (a page that redefines document.title, window.frames or Array.from
// changes what its own scripts see, not what the program reads).
class ChromiumClient
{
public:
    // A moment of reading: what was read then is reused while it is fresh.
    struct Stamp
    {
        std::uint64_t epoch = 0;
        std::chrono::steady_clock::time_point at;
    };

    explicit ChromiumClient(ChromiumSettings settings);
    ~ChromiumClient();
    ChromiumClient(const ChromiumClient&) = delete;
    ChromiumClient& operator=(const ChromiumClient&) = delete;

    const ChromiumSettings& settings() const { return m_settings; }

    // Whether a browser is connected now (reading what has arrived first).
    bool connected();
    // Counts connections: objects of an earlier browser fail at once.
    std::uint64_t generation() const { return m_generation; }
    // Starts (or attaches to) the browser when none is connected.
    void ensureBrowser(const std::string& member);
    // When attaching to a running browser: tries to connect, at most every few
    // seconds; true when connected.
    bool tryAttach();
    // The process id of the browser the program started, 0 when none.
    int browserProcessId() const { return m_process ? static_cast<int>(m_process->pid()) : 0; }
    // Connects over a transport already open to a browser started elsewhere.
    void connectTransport(std::unique_ptr<Transport> transport);
    // Lets the browser go (the one the program started is ended).
    void disconnect();

    // The page tabs in order of discovery (one target list); empty without a browser.
    std::vector<std::string> pageTargets();
    bool knows(const std::string& targetId) const;
    // Takes in the events that have arrived (a tab's new address or title, a tab
    // closed) without waiting.
    void takeEvents();
    // Raises unless the tab is still open in the browser of that generation.
    void require(const std::string& member, const std::string& targetId, std::uint64_t generation);
    std::string url(const std::string& targetId) const;
    std::string title(const std::string& targetId) const;
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
    void noteTitleRead(const std::string& targetId, const std::string& title);

    // The tab's window.
    WindowBounds windowOf(const std::string& member, const std::string& targetId);
    WindowBounds windowBounds(const std::string& member, std::int64_t windowId);
    void setWindowState(const std::string& member, std::int64_t windowId, const std::string& state);
    // Moves or sizes a window: brings it to the normal state first, in its own call.
    void setWindowRect(const std::string& member, std::int64_t windowId,
                       const nlohmann::json& rect);
    // The tab last seen showing in the window, for restoring it.
    std::optional<std::string> shownTab(std::int64_t windowId);

    PageSnapshot snapshot(const std::string& member, const std::string& targetId);
    // Evaluates source text in the program's world of the page; its value. For looking
    // at a page as the program's scripts see it (tests); the program itself calls
    // functions.
    nlohmann::json evaluate(const std::string& member, const std::string& targetId,
                            const std::string& expression);
    // Calls a fixed function in the page with the values as its arguments; it may
    // change the page, so reads made before are not reused.
    nlohmann::json callFunction(const std::string& member, const std::string& targetId,
                                const std::string& declaration, const nlohmann::json& args);
    // The same for a function that only reads.
    nlohmann::json readFunction(const std::string& member, const std::string& targetId,
                                const std::string& declaration, const nlohmann::json& args);
    void navigate(const std::string& member, const std::string& targetId, const std::string& url);
    // The page's own frames, in the order of window.frames.
    std::vector<FrameAddress> childFrames(const std::string& member, const std::string& targetId);
    // Every frame below the page, from the frame tree and the cross-site frames.
    std::vector<FrameAddress> allFrames(const std::string& member, const std::string& targetId);
    // The byte size of a resource the page loaded, from its resource tree (read once
    // for a run of questions).
    std::optional<long long> resourceSize(const std::string& member, const std::string& targetId,
                                          const std::string& url);

    // Values the program wrote to a tab's properties, so that reading them back is
    // truthful.
    std::optional<bool> storedProperty(const std::string& targetId, BrowserProperty property) const;
    void storeProperty(const std::string& targetId, BrowserProperty property, bool value);

    // The connection itself and a tab's attached session, for measuring the program
    // against the least a client must do.
    DevToolsSession& protocol(const std::string& member) { return session(member); }
    std::string attachedSession(const std::string& member, const std::string& targetId)
    {
        return sessionFor(member, targetId);
    }

    // Something changed: reads made before are not reused.
    void invalidate() { ++m_epoch; }
    Stamp now() const;
    bool fresh(const Stamp& stamp) const;
    // Protocol requests that waited for an answer, over every connection so far.
    std::int64_t roundTrips() const;

    // Tabs and frames the program keeps track of at most: more are not followed.
    static constexpr std::size_t kMaxTargets = 10000;

private:
    struct Target
    {
        std::string type;
        std::string url;
        std::string title;
        std::string parentId;
        std::uint64_t order = 0;
        std::string sessionId;
        // The program's script world in the page's current document; 0 until made.
        std::int64_t world = 0;
        std::optional<PageSnapshot> snapshot;
        Stamp snapshotStamp;
        std::optional<std::vector<FrameAddress>> childFrames;
        Stamp childFramesStamp;
        std::optional<std::map<std::string, long long>> resources;
        Stamp resourcesStamp;
        std::int64_t windowId = 0;
        Stamp windowStamp;
        std::map<BrowserProperty, bool> properties;
    };
    struct Window
    {
        WindowBounds bounds;
        Stamp stamp;
        std::string shownTab;
    };

    void connect(std::unique_ptr<Transport> transport, std::chrono::milliseconds firstAnswer);
    void lost();
    DevToolsSession& session(const std::string& member);
    nlohmann::json browserCall(const std::string& member, const std::string& method,
                               nlohmann::json params = nlohmann::json::object());
    nlohmann::json pageCall(const std::string& member, const std::string& targetId,
                            const std::string& method, nlohmann::json params);
    std::string sessionFor(const std::string& member, const std::string& targetId);
    void processEvents();
    // Takes in what the browser says of a tab or frame; nullptr when it cannot be kept
    // (no id, or too many already).
    Target* record(const std::string& targetId, const nlohmann::json& info);
    Target& known(const std::string& member, const std::string& targetId);
    static nlohmann::json valueOf(const std::string& member, const nlohmann::json& result);
    std::int64_t programWorld(const std::string& member, const std::string& targetId);
    // A call that runs in the program's world (its context id put under contextKey).
    nlohmann::json inProgramWorld(const std::string& member, const std::string& targetId,
                                  const std::string& method, nlohmann::json params,
                                  const char* contextKey);
    nlohmann::json callInPage(const std::string& member, const std::string& targetId,
                              const std::string& declaration, const nlohmann::json& args,
                              bool byValue, const char* objectGroup = nullptr);
    void rememberWindow(const nlohmann::json& bounds, std::int64_t windowId);

    ChromiumSettings m_settings;
    std::unique_ptr<ChromiumProcess> m_process;
    std::unique_ptr<DevToolsSession> m_session;
    std::uint64_t m_generation = 0;
    std::uint64_t m_epoch = 1;
    std::uint64_t m_nextOrder = 1;
    std::int64_t m_pastRoundTrips = 0;
    std::map<std::string, Target> m_targets;
    std::map<std::int64_t, Window> m_windows;
    // Tabs the program closed that the browser may list a moment longer.
    std::map<std::string, bool> m_closing;
    // The blank tab a freshly started browser opens, handed to the first new window.
    std::string m_firstTab;
    bool m_fresh = false;
    std::chrono::steady_clock::time_point m_lastAttachTry{};
    // Marks the program's world in every page: a script that does not find it is
    // running somewhere else and does nothing. Random, so no page can know it.
    std::string m_worldMark;
    // The tab whose title the program read last, and that title.
    std::pair<std::string, std::string> m_titleRead;
};

} // namespace automation::chromium
