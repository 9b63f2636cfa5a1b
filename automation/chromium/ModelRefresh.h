#pragma once

#include "automation/chromium/BrowserConnection.h"
#include "automation/chromium/PageCalls.h"
#include "automation/chromium/ReadReuse.h"
#include "automation/chromium/TargetRegistry.h"
#include "automation/chromium/WindowCache.h"

#include <cstdint>
#include <deque>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace automation::chromium {

// Reads every tab and window of the browser at once, for the list's next look: every
// request is sent together (one target list, one bounds call per window, one snapshot
// per tab), answers are taken as they come, and nothing is waited for. What answers
// is kept as fresh readings by the parts that keep them, so the list's reads that
// follow need no call; a tab that has not answered when the reading ends keeps its
// last values and reads busy, and never holds up the others.
class ModelRefresh : public TargetListener
{
public:
    ModelRefresh(BrowserConnection& connection, TargetRegistry& targets, WindowCache& windows,
                 PageCalls& pages, ReadReuse& reuse);
    ModelRefresh(const ModelRefresh&) = delete;
    ModelRefresh& operator=(const ModelRefresh&) = delete;

    // Starts a reading (ending one still open); true when there is nothing to wait for.
    bool begin();
    // Takes in what has arrived and sends what follows from it, without waiting; true
    // once the reading is complete.
    bool poll();
    // Ends the reading: what has not answered keeps its last values and reads busy.
    void finish();
    bool open() const { return !m_pending.empty() || !m_queued.empty(); }
    // The tabs as the last reading found them, while that reading may be reused.
    std::optional<std::vector<std::string>> pages() const;

    // Forgets everything (the browser is gone).
    void clear();

    void documentGone(const std::string&) override {}
    void targetGone(const std::string& targetId) override { m_lateSince.erase(targetId); }

private:
    enum class Step
    {
        Targets,
        WindowOf,
        Bounds,
        World,
        Mark,
        Snapshot
    };
    struct Pending
    {
        Step step = Step::Targets;
        std::string targetId;
        std::int64_t windowId = 0;
        // For the target list: where the registry stood when it was sent.
        std::uint64_t askedAt = 0;
    };

    void post(const Pending& pending, const std::string& method, nlohmann::json params,
              const std::string& sessionId);
    // Sends what waits for room, as far as there is room.
    void sendQueued();
    void send(const Pending& pending, const std::string& method, nlohmann::json params,
              const std::string& sessionId);
    // Sends the requests for one tab: its window's, and its page's.
    void ask(const std::string& targetId);
    // Sends the request for the window a tab is in (once for each window).
    void askWindow(const std::string& targetId);
    void askPage(const std::string& targetId);
    void answered(const Pending& pending, const nlohmann::json& result);
    void failed(const Pending& pending);
    // The page did not answer what it was asked.
    void pageSilent(const std::string& targetId);
    void listFound(std::vector<std::string> pages);
    // Frees pages that have held a call for longer than a page may take.
    void freeHungPages(DevToolsSession& session);

    BrowserConnection& m_connection;
    TargetRegistry& m_targets;
    WindowCache& m_windows;
    PageCalls& m_pages;
    ReadReuse& m_reuse;
    std::uint64_t m_generation = 0;
    // Requests on their way, by id, with what each was sent for.
    std::map<std::int64_t, std::pair<DevToolsSession::Posted, Pending>> m_pending;
    // Requests waiting for room on the way to the browser, in order.
    struct Queued
    {
        Pending pending;
        std::string method;
        nlohmann::json params;
        std::string sessionId;
    };
    std::deque<Queued> m_queued;
    // What this reading has asked already.
    std::set<std::string> m_askedTabs;
    std::set<std::string> m_askedWindowOf;
    std::set<std::int64_t> m_askedWindows;
    // Tabs whose program world was made again after a failed read, this reading.
    std::set<std::string> m_remade;
    std::vector<std::string> m_list;
    ReadReuse::Stamp m_listStamp;
    // Tabs holding a call they have not answered, since when, and whether they were
    // told to stop the script that holds them.
    struct Late
    {
        WaitClock::TimePoint since;
        bool freed = false;
    };
    std::map<std::string, Late> m_lateSince;
};

} // namespace automation::chromium
