#include "automation/chromium/PageCalls.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/PageScripts.h"

#include <cstdio>
#include <random>
#include <set>

namespace automation::chromium {

using nlohmann::json;

namespace {

std::string randomMark()
{
    std::random_device random;
    std::string mark = "tabulon-";
    for (int i = 0; i < 4; ++i) {
        char part[9];
        std::snprintf(part, sizeof part, "%08x", static_cast<unsigned>(random()));
        mark += part;
    }
    return mark;
}

// What an exception says when a script found itself outside the program's world.
constexpr std::string_view kNotOurWorld = "not the program's world";

// The program's world: each script checks the mark first and gets its own arguments.
std::string inWorld(const std::string& declaration)
{
    return "function (mark, ...args) { if (globalThis[mark] !== true) throw new Error(\"" +
           std::string(kNotOurWorld) + "\"); return (" + declaration + ").apply(null, args); }";
}

// Where the program's scripts run in every page.
constexpr const char* kWorldName = "tabulon";

// The remote objects of one frame lookup, released together.
constexpr const char* kFramesGroup = "tabulon-frames";

} // namespace

PageCalls::PageCalls(BrowserConnection& connection, TargetRegistry& targets, ReadReuse& reuse)
    : m_connection(connection), m_targets(targets), m_reuse(reuse), m_worldMark(randomMark())
{}

void PageCalls::documentGone(const std::string& targetId)
{
    if (const auto it = m_pages.find(targetId); it != m_pages.end())
        it->second.world = 0;
}

PageCalls::Page& PageCalls::page(const std::string& member, const std::string& targetId)
{
    m_targets.known(member, targetId);
    return m_pages[targetId];
}

const PageSnapshot* PageCalls::lastSnapshot(const std::string& targetId) const
{
    const auto it = m_pages.find(targetId);
    return it != m_pages.end() && it->second.snapshot ? &*it->second.snapshot : nullptr;
}

json PageCalls::pageCall(const std::string& member, const std::string& targetId,
                         const std::string& method, json params)
{
    return pageCall(member, targetId, method, std::move(params),
                    m_connection.settings().pageTimeout);
}

json PageCalls::pageCall(const std::string& member, const std::string& targetId,
                         const std::string& method, json params, std::chrono::milliseconds limit)
{
    const std::string sessionId = m_targets.sessionFor(member, targetId);
    const ChromiumSettings& settings = m_connection.settings();
    // A page that let an earlier call run out of time answers nothing until that
    // answer comes: fail at once rather than wait again.
    if (m_connection.session(member).overdue(sessionId) > 0) {
        m_connection.takeEvents();
        if (!m_connection.connected() || m_connection.session(member).overdue(sessionId) > 0)
            throw Error(member, "the page does not answer");
    }
    return m_connection.guarded(member, [&](DevToolsSession& s) {
        try {
            return s.call({member, method, std::move(params), sessionId, limit});
        } catch (const DeadlineExceeded&) {
            // A script that never ends holds the page; ending it frees the page.
            s.post({member, "Runtime.terminateExecution", json::object(), sessionId,
                    settings.browserTimeout});
            // Or the browser itself has stopped, and with it every page: asked once now,
            // it costs one more wait, and every call after fails at once.
            s.checkBrowser(member, settings.browserTimeout);
            throw;
        }
    });
}

json PageCalls::valueOf(const std::string& member, const json& result)
{
    Evaluation evaluation = readEvaluation(result);
    if (evaluation.raised)
        throw Error(member,
                    evaluation.reason.empty() ? "the page raised an exception" : evaluation.reason);
    return std::move(evaluation.value);
}

PageSnapshot PageCalls::snapshot(const std::string& member, const std::string& targetId)
{
    m_connection.session(member);
    if (const Page& known = page(member, targetId);
        known.snapshot && m_reuse.fresh(known.snapshotStamp))
        return *known.snapshot;
    const auto snapshot =
        readSnapshot(readFunction(member, targetId, scripts::kSnapshot, {limits::kMaxPageText}));
    if (!snapshot)
        throw Error(member, "the page gave no answer");
    Page& read = page(member, targetId);
    read.snapshot = snapshot;
    read.snapshotStamp = m_reuse.now();
    return *snapshot;
}

std::int64_t PageCalls::programWorld(const std::string& member, const std::string& targetId)
{
    if (const std::int64_t world = page(member, targetId).world; world != 0)
        return world;
    // The page's main frame has the tab's id. The browser gives the same world again
    // for as long as the document lasts.
    const auto world = readExecutionContextId(
        pageCall(member, targetId, "Page.createIsolatedWorld", worldParams(targetId)));
    if (!world)
        throw Error(member, "the page cannot be reached");
    pageCall(member, targetId, "Runtime.callFunctionOn", markParams(*world));
    page(member, targetId).world = *world;
    return *world;
}

json PageCalls::inProgramWorld(const std::string& member, const std::string& targetId,
                               const std::string& method, json params, const char* contextKey)
{
    for (int attempt = 0;; ++attempt) {
        params[contextKey] = programWorld(member, targetId);
        try {
            json result = pageCall(member, targetId, method, params);
            // A context id of an earlier document may name another world now.
            const bool again =
                readEvaluation(result).reason.find(kNotOurWorld) != std::string::npos;
            if (!again || attempt > 0)
                return result;
        } catch (const DeadlineExceeded&) {
            throw;
        } catch (const Error&) {
            // The document was replaced since its world was made: made anew, once. A
            // page that does not answer at all has nothing to do with its world.
            if (attempt > 0 || !m_connection.connected() || !m_targets.knows(targetId))
                throw;
            DevToolsSession& s = m_connection.session(member);
            if (s.overdue(m_targets.known(member, targetId).sessionId) > 0 || s.browserSilent())
                throw;
        }
        page(member, targetId).world = 0;
    }
}

json PageCalls::evaluate(const std::string& member, const std::string& targetId,
                         const std::string& expression)
{
    return valueOf(member, inProgramWorld(member, targetId, "Runtime.evaluate",
                                          {{"expression", expression}, {"returnByValue", true}},
                                          "contextId"));
}

json PageCalls::functionParams(const std::string& declaration, const json& args, bool byValue) const
{
    json arguments = json::array({{{"value", m_worldMark}}});
    for (const json& value : args)
        arguments.push_back({{"value", value}});
    return {{"functionDeclaration", inWorld(declaration)},
            {"arguments", std::move(arguments)},
            {"returnByValue", byValue}};
}

json PageCalls::callInPage(const std::string& member, const std::string& targetId,
                           const std::string& declaration, const json& args, bool byValue,
                           const char* objectGroup)
{
    json params = functionParams(declaration, args, byValue);
    if (objectGroup)
        params["objectGroup"] = objectGroup;
    return inProgramWorld(member, targetId, "Runtime.callFunctionOn", std::move(params),
                          "executionContextId");
}

std::int64_t PageCalls::knownWorld(const std::string& targetId) const
{
    const auto it = m_pages.find(targetId);
    return it == m_pages.end() ? 0 : it->second.world;
}

void PageCalls::takeWorld(const std::string& targetId, std::int64_t world)
{
    if (m_targets.knows(targetId))
        m_pages[targetId].world = world;
}

json PageCalls::worldParams(const std::string& targetId)
{
    return {{"frameId", targetId}, {"worldName", kWorldName}};
}

json PageCalls::markParams(std::int64_t world) const
{
    return {{"functionDeclaration", scripts::kMarkWorld},
            {"executionContextId", world},
            {"arguments", json::array({{{"value", m_worldMark}}})}};
}

json PageCalls::snapshotParams(std::int64_t world) const
{
    json params = functionParams(scripts::kSnapshot, {limits::kMaxPageText}, true);
    params["executionContextId"] = world;
    return params;
}

void PageCalls::takeSnapshot(const std::string& targetId, const PageSnapshot& snapshot)
{
    if (!m_targets.knows(targetId))
        return;
    Page& read = m_pages[targetId];
    read.snapshot = snapshot;
    read.snapshotStamp = m_reuse.now();
}

bool PageCalls::keepSnapshot(const std::string& targetId)
{
    const auto it = m_pages.find(targetId);
    if (it == m_pages.end() || !it->second.snapshot || it->second.snapshot->busy)
        return false;
    it->second.snapshotStamp = m_reuse.now();
    return true;
}

void PageCalls::markBusy(const std::string& targetId)
{
    if (!m_targets.knows(targetId))
        return;
    Page& read = m_pages[targetId];
    if (!read.snapshot)
        read.snapshot = PageSnapshot{};
    read.snapshot->busy = true;
    read.snapshotStamp = m_reuse.now();
}

json PageCalls::callFunction(const std::string& member, const std::string& targetId,
                             const std::string& declaration, const json& args)
{
    m_reuse.invalidate();
    return valueOf(member, callInPage(member, targetId, declaration, args, true));
}

json PageCalls::readFunction(const std::string& member, const std::string& targetId,
                             const std::string& declaration, const json& args)
{
    return valueOf(member, callInPage(member, targetId, declaration, args, true));
}

void PageCalls::navigate(const std::string& member, const std::string& targetId,
                         const std::string& address)
{
    const std::string sessionId = m_targets.sessionFor(member, targetId);
    m_reuse.invalidate();
    page(member, targetId).world = 0;
    m_connection.guarded(member, [&](DevToolsSession& s) {
        try {
            s.call({member,
                    "Page.navigate",
                    {{"url", address}},
                    sessionId,
                    m_connection.settings().pageTimeout});
        } catch (const DeadlineExceeded& late) {
            // A slow server: the navigation goes on in the browser; its answer is harmless.
            s.forgetOverdue(late.requestId());
        }
    });
}

std::vector<FrameAddress> PageCalls::childFrames(const std::string& member,
                                                 const std::string& targetId)
{
    // Asked once for each frame by the frame expansion: one lookup serves them all.
    m_connection.session(member);
    if (const Page& known = page(member, targetId);
        known.childFrames && m_reuse.fresh(known.childFramesStamp))
        return *known.childFrames;
    // The frame owners in document order give the order; their frame ids give the
    // addresses, from the frame tree or, for a cross-site frame, from its own target.
    const json owners = callInPage(member, targetId, scripts::kFrameOwners, {limits::kMaxFrames},
                                   false, kFramesGroup);
    valueOf(member, owners);
    const std::string arrayId = readEvaluation(owners).objectId;
    std::vector<std::string> frameIds;
    if (!arrayId.empty()) {
        const auto release = [&] {
            if (m_targets.knows(targetId))
                m_connection.post({member,
                                   "Runtime.releaseObjectGroup",
                                   {{"objectGroup", kFramesGroup}},
                                   m_targets.known(member, targetId).sessionId,
                                   m_connection.settings().browserTimeout});
        };
        try {
            const ArrayElements elements =
                readArrayElements(pageCall(member, targetId, "Runtime.getProperties",
                                           {{"objectId", arrayId}, {"ownProperties", true}}),
                                  limits::kMaxFrames);
            if (elements.tooMany)
                throw Error(member, "the page has more frames than the program reads");
            frameIds = describedFrameIds(member, targetId, elements.objectIds);
        } catch (const Error&) {
            release();
            throw;
        }
        release();
    }
    std::map<std::string, FrameAddress> byId;
    for (FrameAddress& frame :
         readFrameTree(pageCall(member, targetId, "Page.getFrameTree", json::object())))
        byId.emplace(frame.frameId, std::move(frame));
    // A cross-site frame's target is told of by an event that may have come in with
    // the answers above.
    m_connection.takeEvents();
    std::vector<FrameAddress> frames;
    for (const std::string& id : frameIds) {
        if (const auto it = byId.find(id); it != byId.end()) {
            frames.push_back(it->second);
        } else if (m_targets.knows(id)) {
            frames.push_back({id, m_targets.url(id), {}});
        } else {
            frames.push_back({id, {}, {}});
        }
    }
    Page& read = page(member, targetId);
    read.childFrames = frames;
    read.childFramesStamp = m_reuse.now();
    return frames;
}

std::vector<std::string> PageCalls::describedFrameIds(const std::string& member,
                                                      const std::string& targetId,
                                                      const std::vector<std::string>& owners)
{
    // Every owner asked at once: one round trip however many frames the page has.
    const std::string sessionId = m_targets.sessionFor(member, targetId);
    const std::chrono::milliseconds limit = m_connection.settings().pageTimeout;
    std::vector<DevToolsSession::Posted> posted;
    posted.reserve(owners.size());
    for (const std::string& owner : owners)
        posted.push_back(m_connection.postKept(
            {member, "DOM.describeNode", {{"objectId", owner}}, sessionId, limit}));
    const auto answers = m_connection.collect(posted, m_connection.clock().now() + limit);
    std::vector<std::string> frameIds;
    frameIds.reserve(answers.size());
    for (const DevToolsSession::Answer& answer : answers) {
        if (answer.error)
            throw Error(member, "a frame of the page could not be read");
        frameIds.push_back(readNodeFrameId(answer.result));
    }
    return frameIds;
}

std::vector<FrameAddress> PageCalls::allFrames(const std::string& member,
                                               const std::string& targetId)
{
    std::vector<FrameAddress> frames =
        readFrameTree(pageCall(member, targetId, "Page.getFrameTree", json::object()));
    m_connection.takeEvents();
    std::set<std::string> inTree;
    for (const FrameAddress& frame : frames)
        inTree.insert(frame.frameId);
    // Cross-site frames are targets of their own below the page.
    for (const std::string& id : m_targets.framesBelow(targetId)) {
        if (inTree.count(id))
            continue;
        if (frames.size() >= static_cast<std::size_t>(limits::kMaxFrames))
            break;
        frames.push_back({id, m_targets.url(id), {}});
    }
    return frames;
}

const std::map<std::string, long long>& PageCalls::resourceSizes(const std::string& member,
                                                                 const std::string& targetId)
{
    m_connection.session(member);
    if (const Page& known = page(member, targetId);
        !known.resources || !m_reuse.fresh(known.resourcesStamp)) {
        auto sizes =
            readResourceSizes(pageCall(member, targetId, "Page.getResourceTree", json::object()));
        Page& read = page(member, targetId);
        read.resources = std::move(sizes);
        read.resourcesStamp = m_reuse.now();
    }
    return *page(member, targetId).resources;
}

std::optional<long long> PageCalls::resourceSize(const std::string& member,
                                                 const std::string& targetId,
                                                 const std::string& address)
{
    const auto& sizes = resourceSizes(member, targetId);
    const auto found = sizes.find(address);
    if (found == sizes.end())
        return std::nullopt;
    return found->second;
}

} // namespace automation::chromium
