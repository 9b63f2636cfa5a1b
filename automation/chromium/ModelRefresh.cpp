#include "automation/chromium/ModelRefresh.h"

#include "automation/Error.h"
#include "automation/chromium/ProtocolReplies.h"

#include <algorithm>

namespace automation::chromium {

using nlohmann::json;

namespace {

// The member named when a reading fails: the list's own.
const std::string kMember = "windows";

} // namespace

ModelRefresh::ModelRefresh(BrowserConnection& connection, TargetRegistry& targets,
                           WindowCache& windows, PageCalls& pages, ReadReuse& reuse)
    : m_connection(connection), m_targets(targets), m_windows(windows), m_pages(pages),
      m_reuse(reuse)
{}

void ModelRefresh::clear()
{
    m_pending.clear();
    m_queued.clear();
    m_askedTabs.clear();
    m_askedWindowOf.clear();
    m_askedWindows.clear();
    m_remade.clear();
    m_list.clear();
    m_listStamp = {};
    m_lateSince.clear();
}

std::optional<std::vector<std::string>> ModelRefresh::pages() const
{
    if (open() || !m_reuse.fresh(m_listStamp) || m_generation != m_connection.generation())
        return std::nullopt;
    std::vector<std::string> pages;
    // Tabs closed since are not listed.
    for (const std::string& id : m_list) {
        if (m_targets.knows(id))
            pages.push_back(id);
    }
    return pages;
}

void ModelRefresh::listFound(std::vector<std::string> pages)
{
    m_list = std::move(pages);
    m_listStamp = m_reuse.now();
}

bool ModelRefresh::begin()
{
    finish();
    m_askedTabs.clear();
    m_askedWindowOf.clear();
    m_askedWindows.clear();
    m_remade.clear();
    m_connection.takeEvents();
    if (!m_connection.connected()) {
        clear();
        m_generation = m_connection.generation();
        listFound({});
        return true;
    }
    m_generation = m_connection.generation();
    DevToolsSession& session = m_connection.session(kMember);
    const std::vector<std::string> known = m_targets.knownPages();
    // A browser that has not answered an earlier call of its own is not reading: nothing
    // more goes into its pipe, and every tab keeps what was read last.
    if (session.browserSilent() || session.overdue({}) > 0) {
        for (const std::string& id : known)
            m_pages.markBusy(id);
        listFound(known);
        return true;
    }
    // Until the browser's own list comes, the tabs are those the events told of.
    listFound(known);
    freeHungPages(session);
    post({Step::Targets, {}, 0}, "Target.getTargets", json::object(), {});
    // The tabs the events told of are asked at once; one the list finds new, when it
    // comes. The windows go first: they are few and small, and never wait for room
    // behind the pages.
    for (const std::string& id : known)
        askWindow(id);
    for (const std::string& id : known)
        ask(id);
    return poll();
}

void ModelRefresh::post(const Pending& pending, const std::string& method, json params,
                        const std::string& sessionId)
{
    if (!m_connection.connected())
        return;
    // Requests go in the order asked: one of a page's waits behind another of the same.
    if (!m_queued.empty() ||
        m_connection.session(kMember).keptBytes() >= m_connection.settings().readingWindowBytes) {
        m_queued.push_back({pending, method, std::move(params), sessionId});
        return;
    }
    send(pending, method, std::move(params), sessionId);
}

void ModelRefresh::sendQueued()
{
    while (!m_queued.empty() && m_connection.connected() &&
           m_connection.session(kMember).keptBytes() < m_connection.settings().readingWindowBytes) {
        Queued next = std::move(m_queued.front());
        m_queued.pop_front();
        send(next.pending, next.method, std::move(next.params), next.sessionId);
    }
}

void ModelRefresh::send(const Pending& pending, const std::string& method, json params,
                        const std::string& sessionId)
{
    const ChromiumSettings& settings = m_connection.settings();
    const bool inPage = !sessionId.empty();
    Pending sent = pending;
    if (sent.step == Step::Targets)
        sent.askedAt = m_targets.mark();
    DevToolsSession::Posted posted = m_connection.session(kMember).postKept(
        {kMember, method, std::move(params), sessionId,
         inPage ? settings.pageTimeout : settings.browserTimeout});
    const auto id = posted.id;
    if (id != 0)
        m_pending.emplace(id, std::make_pair(std::move(posted), std::move(sent)));
    else if (inPage)
        m_pages.markBusy(pending.targetId);
}

void ModelRefresh::ask(const std::string& targetId)
{
    if (!m_askedTabs.insert(targetId).second || !m_targets.knows(targetId))
        return;
    askWindow(targetId);
    askPage(targetId);
}

void ModelRefresh::askWindow(const std::string& targetId)
{
    if (!m_targets.knows(targetId) || !m_askedWindowOf.insert(targetId).second)
        return;
    if (const std::int64_t window = m_windows.lastWindowOf(targetId); window == 0)
        post({Step::WindowOf, targetId, 0}, "Browser.getWindowForTarget", {{"targetId", targetId}},
             {});
    else if (m_askedWindows.insert(window).second)
        post({Step::Bounds, {}, window}, "Browser.getWindowBounds", {{"windowId", window}}, {});
}

void ModelRefresh::askPage(const std::string& targetId)
{
    if (!m_targets.knows(targetId) || !m_connection.connected())
        return;
    const std::string sessionId = m_targets.known(kMember, targetId).sessionId;
    // A tab not attached yet is read the ordinary way, when the list asks.
    if (sessionId.empty())
        return;
    // A page still holding an earlier call answers nothing before it.
    if (m_connection.session(kMember).overdue(sessionId) > 0) {
        pageSilent(targetId);
        return;
    }
    const std::int64_t world = m_pages.knownWorld(targetId);
    // Nothing told of a change since the page was read: what was read stands.
    if (world != 0 && !m_targets.changed(targetId) && m_pages.keepSnapshot(targetId))
        return;
    m_targets.readingPage(targetId);
    if (world != 0)
        post({Step::Snapshot, targetId, 0}, "Runtime.callFunctionOn", m_pages.snapshotParams(world),
             sessionId);
    else
        post({Step::World, targetId, 0}, "Page.createIsolatedWorld",
             PageCalls::worldParams(targetId), sessionId);
}

bool ModelRefresh::poll()
{
    if (!open())
        return true;
    m_connection.takeEvents();
    if (!m_connection.connected() || m_generation != m_connection.generation()) {
        m_pending.clear();
        m_queued.clear();
        return true;
    }
    DevToolsSession& session = m_connection.session(kMember);
    std::vector<std::pair<Pending, DevToolsSession::Answer>> ready;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        auto answer = session.takeAnswer(it->second.first);
        if (!answer) {
            ++it;
            continue;
        }
        ready.emplace_back(it->second.second, std::move(*answer));
        it = m_pending.erase(it);
    }
    for (const auto& [pending, answer] : ready) {
        try {
            if (!answer.error)
                answered(pending, answer.result);
            else
                failed(pending);
        } catch (const Error&) {
            // An answer the program cannot use is no answer.
            failed(pending);
        }
        if (!m_connection.connected())
            return true;
    }
    sendQueued();
    return !open();
}

void ModelRefresh::answered(const Pending& pending, const json& result)
{
    const std::string& tab = pending.targetId;
    switch (pending.step) {
    case Step::Targets: {
        std::vector<std::string> pages = m_targets.takeTargetList(result, pending.askedAt);
        for (const std::string& id : pages)
            ask(id);
        listFound(std::move(pages));
        break;
    }
    case Step::WindowOf: {
        const WindowOfTarget window = readWindowOfTarget(result);
        m_windows.takeWindowOf(tab, window);
        if (window.windowId)
            m_askedWindows.insert(*window.windowId);
        break;
    }
    case Step::Bounds:
        m_windows.takeBounds(pending.windowId, readWindowBounds(result));
        break;
    case Step::World: {
        const auto world = readExecutionContextId(result);
        if (!world || !m_targets.knows(tab)) {
            failed(pending);
            break;
        }
        // Calls on one session are carried out in order: the mark is made before the
        // snapshot looks for it.
        const std::string sessionId = m_targets.known(kMember, tab).sessionId;
        m_pages.takeWorld(tab, *world);
        post({Step::Mark, tab, 0}, "Runtime.callFunctionOn", m_pages.markParams(*world), sessionId);
        post({Step::Snapshot, tab, 0}, "Runtime.callFunctionOn", m_pages.snapshotParams(*world),
             sessionId);
        break;
    }
    case Step::Mark:
        break;
    case Step::Snapshot: {
        m_lateSince.erase(tab);
        const Evaluation evaluation = readEvaluation(result);
        const auto snapshot = evaluation.raised ? std::nullopt : readSnapshot(evaluation.value);
        if (!snapshot) {
            failed(pending);
            break;
        }
        m_pages.takeSnapshot(tab, *snapshot);
        if (snapshot->visible)
            m_windows.tabShown(tab);
        break;
    }
    }
}

void ModelRefresh::failed(const Pending& pending)
{
    switch (pending.step) {
    case Step::Targets:
        listFound(m_targets.knownPages());
        break;
    case Step::WindowOf:
        // Read the ordinary way when the list asks.
        break;
    case Step::Bounds:
        m_windows.forgetWindow(pending.windowId);
        break;
    case Step::World:
    case Step::Mark:
    case Step::Snapshot:
        // Most likely the document was replaced and the world with it: made anew, once.
        m_lateSince.erase(pending.targetId);
        m_pages.takeWorld(pending.targetId, 0);
        if (m_remade.insert(pending.targetId).second && pending.step != Step::Mark)
            askPage(pending.targetId);
        else
            m_pages.markBusy(pending.targetId);
        break;
    }
}

void ModelRefresh::pageSilent(const std::string& targetId)
{
    m_lateSince.try_emplace(targetId, Late{m_connection.clock().now(), false});
    m_pages.markBusy(targetId);
}

void ModelRefresh::finish()
{
    if (!open())
        return;
    poll();
    if (m_connection.connected() && m_generation == m_connection.generation()) {
        DevToolsSession& session = m_connection.session(kMember);
        bool browserLate = false;
        for (const auto& [id, request] : m_pending) {
            const Pending& pending = request.second;
            session.abandon(request.first);
            if (pending.step == Step::World || pending.step == Step::Mark ||
                pending.step == Step::Snapshot)
                pageSilent(pending.targetId);
            else
                browserLate = true;
        }
        // Never sent, for want of room on the way: the page was not asked, so it has not
        // failed to answer. It shows what was read last, if anything, and is read at the
        // next reading.
        for (const Queued& queued : m_queued) {
            if (queued.pending.step == Step::World || queued.pending.step == Step::Mark ||
                queued.pending.step == Step::Snapshot) {
                m_targets.readingDropped(queued.pending.targetId);
                if (!m_pages.keepSnapshot(queued.pending.targetId))
                    m_pages.markBusy(queued.pending.targetId);
            } else if (queued.pending.step == Step::Bounds) {
                // Not asked either: the window shows what was read of it last.
                m_windows.keepWindow(queued.pending.windowId);
            } else if (queued.pending.step != Step::WindowOf) {
                browserLate = true;
            }
        }
        // The browser itself has not answered: what any tab shows now is unknown, and
        // its window cannot be read without waiting.
        if (browserLate) {
            for (const std::string& id : m_targets.knownPages())
                m_pages.markBusy(id);
        }
    }
    const bool listed =
        std::none_of(m_pending.begin(), m_pending.end(),
                     [](const auto& p) { return p.second.second.step == Step::Targets; }) &&
        std::none_of(m_queued.begin(), m_queued.end(),
                     [](const Queued& q) { return q.pending.step == Step::Targets; });
    m_pending.clear();
    m_queued.clear();
    if (!listed)
        listFound(m_targets.knownPages());
}

void ModelRefresh::freeHungPages(DevToolsSession& session)
{
    const auto now = m_connection.clock().now();
    const ChromiumSettings& settings = m_connection.settings();
    for (auto it = m_lateSince.begin(); it != m_lateSince.end();) {
        const std::string sessionId =
            m_targets.knows(it->first) ? m_targets.known(kMember, it->first).sessionId : "";
        if (sessionId.empty() || session.overdue(sessionId) == 0) {
            it = m_lateSince.erase(it);
            continue;
        }
        // A script that never ends holds the page; ending it frees the page, as a call
        // that runs out of time does.
        if (!it->second.freed && now - it->second.since >= settings.pageTimeout) {
            session.post({kMember, "Runtime.terminateExecution", json::object(), sessionId,
                          settings.browserTimeout});
            it->second.freed = true;
        }
        ++it;
    }
}

} // namespace automation::chromium
