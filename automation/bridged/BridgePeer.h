#pragma once

#include "automation/bridge/Framing.h"
#include "automation/bridged/BrowserModel.h"
#include "automation/local/WaitClock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace automation::bridged {

// Who is at the other end: from the host's first message and the extension's hello.
struct PeerInfo
{
    std::string origin;
    pid_t browserPid = 0;
    std::string profile;
    std::string product;
    std::string version;
    bool firefox() const { return origin.rfind("chrome-extension://", 0) != 0 && !origin.empty(); }
};

// One bridged browser: the connection to its host, its model, and its commands.
// Reading never waits; a command waits for its reply up to its deadline and no longer.
// When the connection ends (the browser quit, the extension was disabled) the peer is
// dead: its model is empty and every command raises automation::Error.
class BridgePeer
{
public:
    // Takes the connected, non-blocking descriptor. serial orders the connections.
    BridgePeer(int fd, std::uint64_t serial, WaitClock& clock);
    ~BridgePeer();
    BridgePeer(const BridgePeer&) = delete;
    BridgePeer& operator=(const BridgePeer&) = delete;

    int fd() const { return m_fd; }
    std::uint64_t serial() const { return m_serial; }
    bool alive() const { return m_alive; }
    const PeerInfo& info() const { return m_info; }
    const BrowserModel& model() const { return m_model; }
    BrowserModel& model() { return m_model; }

    // Takes in whatever has arrived, without waiting.
    void readAvailable();
    // Sends a request and waits for its reply until timeout (plus a little: the
    // extension gives up first and says so). The result, or automation::Error(member).
    nlohmann::json request(const std::string& member, const std::string& method,
                           nlohmann::json params,
                           std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    // The same in two halves, so that several requests are under way at once: post sends
    // and gives the request's number; awaitReply waits for that reply up to the request's
    // deadline. A posted request is awaited or forgotten, once.
    std::int64_t post(const std::string& member, const std::string& method, nlohmann::json params,
                      std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
    nlohmann::json awaitReply(const std::string& member, std::int64_t id);

    // A window moved, sized or put in a state through the extension; the model takes
    // the window as the reply reads it back. Inside a window batch a move or a resize is
    // kept back for the commit, joined with the same window's other moves and resizes
    // into one change, and the commit sends every window's change at once, so that the
    // extension carries them out side by side; a change of state goes out at once,
    // after the window's earlier changes are done.
    void updateWindow(const std::string& member, std::int64_t windowId, nlohmann::json fields);
    void openWindowBatch() { ++m_windowBatch; }
    // At the outermost commit: sends what was kept back and waits for every change of
    // the batch; one that failed is skipped.
    void commitWindowBatch();
    // Closes the descriptor of a dead peer (after its watcher has gone).
    void closeDescriptor();

    // Runs when a window of this browser gets the focus.
    void onFocus(std::function<void()> callback) { m_onFocus = std::move(callback); }

    // What the program last wrote to a tab's feature it cannot show, so that reading it
    // back is truthful.
    std::map<std::pair<std::int64_t, int>, bool>& storedProperties() { return m_properties; }

    // The parts of the style sheet the program keeps in a tab, by tab and kind: the
    // extension holds one sheet per tab, so each part is sent with the others.
    std::map<std::pair<std::int64_t, int>, std::string>& pageSheets() { return m_sheets; }

    // What the page function "list" gave for a tab, kept until the browser says the
    // tab changed or the program writes to its page, so that rebuilding the list asks
    // the pages nothing while they stay as they were. A page that could not say (an
    // error page, a hung script) is kept as its failure, for a while only: a hung page
    // may come back without the browser telling of it.
    struct KeptPage
    {
        nlohmann::json list;
        std::string failure;
        WaitClock::TimePoint at{};
    };
    const KeptPage* keptPage(std::int64_t tabId) const;
    const nlohmann::json* pageList(std::int64_t tabId) const;
    void keepPageList(std::int64_t tabId, nlohmann::json list);
    void keepPageFailure(std::int64_t tabId, std::string failure);
    void forgetPage(std::int64_t tabId) { m_pageLists.erase(tabId); }
    WaitClock::TimePoint now() const { return m_clock.now(); }

    // Requests that waited for a reply.
    std::int64_t roundTrips() const { return m_roundTrips; }

private:
    enum class Read
    {
        Data,
        Nothing,
        Closed
    };
    Read readOnce();
    void take(const std::string& text);
    void die();
    void send(const std::string& member, const std::string& text, WaitClock::TimePoint deadline);

    int m_fd;
    std::uint64_t m_serial;
    WaitClock& m_clock;
    bool m_alive = true;
    bridge::FrameReader m_reader{bridge::kMaxFromBrowser};
    PeerInfo m_info;
    BrowserModel m_model;
    std::function<void()> m_onFocus;
    std::map<std::pair<std::int64_t, int>, bool> m_properties;
    std::map<std::pair<std::int64_t, int>, std::string> m_sheets;
    std::int64_t m_nextId = 1;
    // The requests under way, each with its deadline and its reply once it has come.
    struct Posted
    {
        WaitClock::TimePoint deadline;
        std::optional<nlohmann::json> reply;
    };
    std::map<std::int64_t, Posted> m_posted;
    // The window batches open; the moves and resizes kept back, one per window in the
    // order first asked; the changes sent and not answered yet: window, request.
    int m_windowBatch = 0;
    std::vector<std::pair<std::int64_t, nlohmann::json>> m_heldChanges;
    std::vector<std::pair<std::int64_t, std::int64_t>> m_windowChanges;
    // Of one window, or of all.
    void sendHeldChanges(std::optional<std::int64_t> windowId);
    void awaitWindowChanges(std::optional<std::int64_t> windowId);
    std::int64_t m_roundTrips = 0;
    std::map<std::int64_t, KeptPage> m_pageLists;
};

} // namespace automation::bridged
