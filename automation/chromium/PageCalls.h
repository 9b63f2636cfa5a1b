#pragma once

#include "automation/chromium/BrowserConnection.h"
#include "automation/chromium/ProtocolReplies.h"
#include "automation/chromium/ReadReuse.h"
#include "automation/chromium/TargetRegistry.h"

#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace automation::chromium {

// Calls into the tabs' pages: scripts, navigation, and what the program reads of a
// page's frames and resources (reused briefly). A page that lets a call run out of
// time is freed, and fails at once until its late answer comes.
//
// The program's scripts run in a script world of its own in each page: they see the
// page's document, but with the browser's own built-ins, which no script of the page
// can replace (a page that redefines document.title, window.frames or Array.from
// changes what its own scripts see, not what the program reads).
class PageCalls : public TargetListener
{
public:
    PageCalls(BrowserConnection& connection, TargetRegistry& targets, ReadReuse& reuse);
    PageCalls(const PageCalls&) = delete;
    PageCalls& operator=(const PageCalls&) = delete;

    // A call on the tab's attached session, within the page's time limit.
    nlohmann::json pageCall(const std::string& member, const std::string& targetId,
                            const std::string& method, nlohmann::json params);
    // The same within a limit of its own, for work the page does once and may take long.
    nlohmann::json pageCall(const std::string& member, const std::string& targetId,
                            const std::string& method, nlohmann::json params,
                            std::chrono::milliseconds limit);

    PageSnapshot snapshot(const std::string& member, const std::string& targetId);
    // The snapshot read last, however old; nullptr when none was.
    const PageSnapshot* lastSnapshot(const std::string& targetId) const;
    // Evaluates source text in the program's world of the page; its value.
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
    // The same for every resource, by address; held until the next read of the tree.
    const std::map<std::string, long long>& resourceSizes(const std::string& member,
                                                          const std::string& targetId);

    // Forgets everything (the browser is gone).
    void clear() { m_pages.clear(); }

    // For reading many pages at once, request by request, without waiting on any:
    // the program's world in the page's document, 0 until made.
    std::int64_t knownWorld(const std::string& targetId) const;
    void takeWorld(const std::string& targetId, std::int64_t world);
    // The parameters of the call that makes the program's world in a tab, of the one
    // that marks it, and of the snapshot read in it.
    static nlohmann::json worldParams(const std::string& targetId);
    nlohmann::json markParams(std::int64_t world) const;
    nlohmann::json snapshotParams(std::int64_t world) const;
    // Takes in a snapshot read so; the answer is for the tab's current document.
    void takeSnapshot(const std::string& targetId, const PageSnapshot& snapshot);
    // The tab did not answer in time: it keeps what was read last, and reads busy.
    void markBusy(const std::string& targetId);
    // Nothing changed in the tab since its snapshot was read: it is as good as new.
    // False when there is none to keep, or it was read busy (to be read again).
    bool keepSnapshot(const std::string& targetId);

    void documentGone(const std::string& targetId) override;
    void targetGone(const std::string& targetId) override { m_pages.erase(targetId); }

private:
    struct Page
    {
        // The program's script world in the page's current document; 0 until made.
        std::int64_t world = 0;
        std::optional<PageSnapshot> snapshot;
        ReadReuse::Stamp snapshotStamp;
        std::optional<std::vector<FrameAddress>> childFrames;
        ReadReuse::Stamp childFramesStamp;
        std::optional<std::map<std::string, long long>> resources;
        ReadReuse::Stamp resourcesStamp;
    };

    // The page's state; raises Error(member) when the tab is closed.
    Page& page(const std::string& member, const std::string& targetId);
    std::int64_t programWorld(const std::string& member, const std::string& targetId);
    // A call that runs in the program's world (its context id put under contextKey).
    nlohmann::json inProgramWorld(const std::string& member, const std::string& targetId,
                                  const std::string& method, nlohmann::json params,
                                  const char* contextKey);
    // The parameters of a call of a fixed function in the program's world.
    nlohmann::json functionParams(const std::string& declaration, const nlohmann::json& args,
                                  bool byValue) const;
    nlohmann::json callInPage(const std::string& member, const std::string& targetId,
                              const std::string& declaration, const nlohmann::json& args,
                              bool byValue, const char* objectGroup = nullptr);
    // The frame ids of the frame owner elements, in their order; raises Error(member)
    // when one cannot be read.
    std::vector<std::string> describedFrameIds(const std::string& member,
                                               const std::string& targetId,
                                               const std::vector<std::string>& owners);
    // The value of an evaluation; raises Error(member) for an exception in the page.
    static nlohmann::json valueOf(const std::string& member, const nlohmann::json& result);

    BrowserConnection& m_connection;
    TargetRegistry& m_targets;
    ReadReuse& m_reuse;
    std::map<std::string, Page> m_pages;
    // Marks the program's world in every page: a script that does not find it is
    // running somewhere else and does nothing. Random, so no page can know it.
    std::string m_worldMark;
};

} // namespace automation::chromium
