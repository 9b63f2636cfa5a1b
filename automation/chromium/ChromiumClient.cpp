#include "automation/chromium/ChromiumClient.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/PageScripts.h"
#include "automation/chromium/WebSocketTransport.h"

#include <algorithm>
#include <limits>
#include <random>
#include <thread>

namespace automation::chromium {

using nlohmann::json;

namespace {

std::string kindOf(const json& info)
{
    return checked::lineAt(info, "type", 64);
}

bool isListedPage(const json& info)
{
    return kindOf(info) == "page" &&
           checked::lineAt(info, "url", limits::kMaxAddress).rfind("devtools://", 0) != 0;
}

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

// Tabs and cross-site frames; the browser's own pages (omnibox and such) are no
// business of the program.
const json kTargetFilter = json::array({{{"type", "page"}, {"exclude", false}},
                                        {{"type", "iframe"}, {"exclude", false}},
                                        {{"exclude", true}}});

} // namespace

ChromiumClient::ChromiumClient(ChromiumSettings settings)
    : m_settings(std::move(settings)), m_worldMark(randomMark())
{}

ChromiumClient::~ChromiumClient()
{
    disconnect();
}

std::int64_t ChromiumClient::roundTrips() const
{
    return m_pastRoundTrips + (m_session ? m_session->roundTrips() : 0);
}

bool ChromiumClient::connected()
{
    // Every call reads what has arrived; here only a connection already known to be
    // lost is let go.
    if (!m_session)
        return false;
    if (!m_session->alive())
        lost();
    return m_session != nullptr;
}

void ChromiumClient::lost()
{
    if (m_session) {
        m_pastRoundTrips += m_session->roundTrips();
        m_session->close();
    }
    m_session.reset();
    if (m_process)
        m_process->stop(500);
    m_process.reset();
    m_targets.clear();
    m_windows.clear();
    m_closing.clear();
    m_firstTab.clear();
    m_fresh = false;
    ++m_generation;
    invalidate();
}

void ChromiumClient::disconnect()
{
    lost();
}

void ChromiumClient::connect(std::unique_ptr<Transport> transport,
                             std::chrono::milliseconds firstAnswer)
{
    m_session = std::make_unique<DevToolsSession>(std::move(transport));
    ++m_generation;
    try {
        m_session->call({"createBrowser",
                         "Target.setDiscoverTargets",
                         {{"discover", true}, {"filter", kTargetFilter}},
                         {},
                         firstAnswer});
        // Every tab is attached as soon as it exists: a page that hangs later can
        // still be freed, which needs a session set up before it hung.
        m_session->call({"createBrowser",
                         "Target.setAutoAttach",
                         {{"autoAttach", true},
                          {"waitForDebuggerOnStart", false},
                          {"flatten", true},
                          {"filter", json::array({{{"type", "page"}, {"exclude", false}},
                                                  {{"exclude", true}}})}},
                         {},
                         m_settings.browserTimeout});
    } catch (const Error& error) {
        lost();
        throw Error("createBrowser", std::string("the browser did not start: ") + error.what());
    }
    processEvents();
}

void ChromiumClient::ensureBrowser(const std::string& member)
{
    if (connected())
        return;
    if (!m_settings.devtoolsUrl.empty()) {
        const Deadline deadline = std::chrono::steady_clock::now() + m_settings.browserTimeout;
        try {
            connect(connectWebSocket(m_settings.devtoolsUrl, deadline), m_settings.browserTimeout);
        } catch (const Error& error) {
            throw Error(member, error.what());
        }
        return;
    }
    auto process = ChromiumProcess::start(m_settings.launch);
    auto transport = process->takeTransport();
    m_process = std::move(process);
    try {
        connect(std::move(transport), m_settings.startTimeout);
    } catch (const Error& error) {
        throw Error(member, error.what());
    }
    m_fresh = true;
}

void ChromiumClient::connectTransport(std::unique_ptr<Transport> transport)
{
    lost();
    connect(std::move(transport), m_settings.browserTimeout);
}

bool ChromiumClient::tryAttach()
{
    if (connected())
        return true;
    if (m_settings.devtoolsUrl.empty())
        return false;
    const auto now = std::chrono::steady_clock::now();
    if (m_lastAttachTry.time_since_epoch().count() != 0 &&
        now - m_lastAttachTry < std::chrono::seconds(5))
        return false;
    m_lastAttachTry = now;
    try {
        ensureBrowser("windows");
    } catch (const Error&) {
        return false;
    }
    return true;
}

DevToolsSession& ChromiumClient::session(const std::string& member)
{
    if (!connected())
        throw Error(member, "the browser is gone");
    return *m_session;
}

json ChromiumClient::browserCall(const std::string& member, const std::string& method, json params)
{
    DevToolsSession& s = session(member);
    try {
        json result = s.call({member, method, std::move(params), {}, m_settings.browserTimeout});
        processEvents();
        return result;
    } catch (const Error&) {
        if (!s.alive())
            lost();
        throw;
    }
}

json ChromiumClient::pageCall(const std::string& member, const std::string& targetId,
                              const std::string& method, json params)
{
    const std::string sessionId = sessionFor(member, targetId);
    DevToolsSession& s = *m_session;
    // A page that let an earlier call run out of time answers nothing until that
    // answer comes: fail at once rather than wait again.
    if (s.overdue(sessionId) > 0) {
        s.pump();
        processEvents();
        if (s.overdue(sessionId) > 0)
            throw Error(member, "the page does not answer");
    }
    try {
        json result =
            s.call({member, method, std::move(params), sessionId, m_settings.pageTimeout});
        processEvents();
        return result;
    } catch (const DeadlineExceeded&) {
        // A script that never ends holds the page; ending it frees the page.
        s.post({member, "Runtime.terminateExecution", json::object(), sessionId,
                m_settings.browserTimeout});
        // Or the browser itself has stopped, and with it every page: asked once now, it
        // costs one more wait, and every call after fails at once.
        s.checkBrowser(member, m_settings.browserTimeout);
        if (!s.alive())
            lost();
        throw;
    } catch (const Error&) {
        if (!s.alive())
            lost();
        throw;
    }
}

ChromiumClient::Target* ChromiumClient::record(const std::string& targetId, const json& info)
{
    if (targetId.empty() || (!m_targets.count(targetId) && m_targets.size() >= kMaxTargets))
        return nullptr;
    Target& target = m_targets[targetId];
    if (target.order == 0)
        target.order = m_nextOrder++;
    if (info.is_object()) {
        std::string url = checked::lineAt(info, "url", limits::kMaxAddress);
        // Another document: the program's world in the old one is gone with it.
        if (url != target.url)
            target.world = 0;
        target.type = kindOf(info);
        target.url = std::move(url);
        target.title = checked::lineAt(info, "title", limits::kMaxPageText);
        target.parentId = checked::idAt(info, "parentId");
    }
    return &target;
}

ChromiumClient::Target& ChromiumClient::known(const std::string& member,
                                              const std::string& targetId)
{
    const auto it = m_targets.find(targetId);
    if (it == m_targets.end())
        throw Error(member, "the window is closed");
    return it->second;
}

bool ChromiumClient::knows(const std::string& targetId) const
{
    return m_targets.count(targetId) > 0;
}

void ChromiumClient::takeEvents()
{
    if (!m_session)
        return;
    m_session->pump();
    processEvents();
    if (!m_session->alive())
        lost();
}

void ChromiumClient::require(const std::string& member, const std::string& targetId,
                             std::uint64_t generation)
{
    if (!connected() || m_generation != generation)
        throw Error(member, "the browser is gone");
    if (!knows(targetId))
        throw Error(member, "the window is closed");
}

std::string ChromiumClient::url(const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    return it == m_targets.end() ? std::string() : it->second.url;
}

std::string ChromiumClient::title(const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    return it == m_targets.end() ? std::string() : it->second.title;
}

void ChromiumClient::processEvents()
{
    if (!m_session)
        return;
    while (m_session->hasEvents()) {
        const json event = m_session->nextEvent();
        const std::string method = checked::lineAt(event, "method", 128);
        const json& params = checked::objectAt(event, "params");
        if (method == "Target.targetCreated" || method == "Target.targetInfoChanged") {
            const json& info = checked::objectAt(params, "targetInfo");
            const std::string type = kindOf(info);
            const std::string id = checked::idAt(info, "targetId");
            if ((type == "page" || type == "iframe") && !m_closing.count(id))
                record(id, info);
        } else if (method == "Target.targetDestroyed") {
            const std::string id = checked::idAt(params, "targetId");
            m_targets.erase(id);
            m_closing.erase(id);
        } else if (method == "Target.attachedToTarget") {
            const json& info = checked::objectAt(params, "targetInfo");
            const std::string type = kindOf(info);
            const std::string id = checked::idAt(info, "targetId");
            if ((type != "page" && type != "iframe") || m_closing.count(id))
                continue;
            Target* target = record(id, info);
            const std::string sessionId = checked::idAt(params, "sessionId");
            if (!target || !target->sessionId.empty() || sessionId.empty())
                continue;
            target->sessionId = sessionId;
            // Cross-site frames become targets of their own only while the page asks
            // for them; nothing waits for this answer.
            if (type == "page")
                m_session->post(
                    {"windows",
                     "Target.setAutoAttach",
                     {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}},
                     sessionId,
                     m_settings.browserTimeout});
        } else if (method == "Target.detachedFromTarget") {
            const std::string sessionId = checked::idAt(params, "sessionId");
            if (sessionId.empty())
                continue;
            for (auto& [id, target] : m_targets) {
                if (target.sessionId == sessionId) {
                    target.sessionId.clear();
                    target.world = 0;
                }
            }
            m_session->forgetSession(sessionId);
        }
    }
}

std::string ChromiumClient::sessionFor(const std::string& member, const std::string& targetId)
{
    DevToolsSession& s = session(member);
    Target& target = known(member, targetId);
    if (!target.sessionId.empty())
        return target.sessionId;
    json result;
    try {
        result = s.call({member,
                         "Target.attachToTarget",
                         {{"targetId", targetId}, {"flatten", true}},
                         {},
                         m_settings.browserTimeout});
    } catch (const Error&) {
        if (!s.alive())
            lost();
        throw;
    }
    processEvents();
    Target& attached = known(member, targetId);
    if (attached.sessionId.empty())
        attached.sessionId = checked::idAt(result, "sessionId");
    if (attached.sessionId.empty())
        throw Error(member, "the page cannot be reached");
    return attached.sessionId;
}

std::vector<std::string> ChromiumClient::pageTargets()
{
    if (!connected())
        return {};
    json result;
    try {
        result = browserCall("windows", "Target.getTargets");
    } catch (const Error&) {
        if (!m_session)
            return {};
        throw;
    }
    std::vector<std::pair<std::uint64_t, std::string>> pages;
    std::map<std::string, bool> present;
    for (const json& info : checked::arrayAt(result, "targetInfos")) {
        const std::string id = checked::idAt(info, "targetId");
        if (id.empty())
            continue;
        present[id] = true;
        if (!isListedPage(info) || m_closing.count(id))
            continue;
        if (const Target* target = record(id, info))
            pages.emplace_back(target->order, id);
    }
    for (auto it = m_closing.begin(); it != m_closing.end();) {
        if (!present.count(it->first))
            it = m_closing.erase(it);
        else
            ++it;
    }
    for (auto it = m_targets.begin(); it != m_targets.end();) {
        if (!present.count(it->first) || m_closing.count(it->first))
            it = m_targets.erase(it);
        else
            ++it;
    }
    std::sort(pages.begin(), pages.end());
    std::vector<std::string> ids;
    ids.reserve(pages.size());
    for (auto& page : pages)
        ids.push_back(std::move(page.second));
    return ids;
}

std::string ChromiumClient::createWindow(const std::string& member)
{
    ensureBrowser(member);
    invalidate();
    if (m_fresh) {
        m_fresh = false;
        // The browser opens one blank tab of its own; it becomes this window rather
        // than being left beside it.
        const auto until = std::chrono::steady_clock::now() + m_settings.browserTimeout;
        for (;;) {
            const std::vector<std::string> pages = pageTargets();
            if (pages.size() == 1 && url(pages.front()) == "about:blank")
                return pages.front();
            if (!pages.empty() || std::chrono::steady_clock::now() >= until)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    const json result =
        browserCall(member, "Target.createTarget", {{"url", "about:blank"}, {"newWindow", true}});
    std::string targetId = checked::idAt(result, "targetId");
    if (targetId.empty() || !record(targetId, nullptr))
        throw Error(member, "the browser opened no window");
    return targetId;
}

void ChromiumClient::closeTarget(const std::string& member, const std::string& targetId)
{
    known(member, targetId);
    invalidate();
    browserCall(member, "Target.closeTarget", {{"targetId", targetId}});
    m_targets.erase(targetId);
    m_closing[targetId] = true;
}

void ChromiumClient::activateTarget(const std::string& member, const std::string& targetId)
{
    known(member, targetId);
    invalidate();
    browserCall(member, "Target.activateTarget", {{"targetId", targetId}});
    const Target& target = known(member, targetId);
    if (target.windowId != 0)
        m_windows[target.windowId].shownTab = targetId;
}

void ChromiumClient::noteTitleRead(const std::string& targetId, const std::string& title)
{
    m_titleRead = {targetId, title};
}

std::optional<std::string> ChromiumClient::findPageByTitle(const std::string& wanted)
{
    const std::vector<std::string> pages = pageTargets();
    // Another tab may show the same title: the one just read is the one meant.
    if (m_titleRead.second == wanted &&
        std::find(pages.begin(), pages.end(), m_titleRead.first) != pages.end()) {
        const Target& target = m_targets[m_titleRead.first];
        if (target.title == wanted || (target.snapshot && target.snapshot->title == wanted))
            return m_titleRead.first;
    }
    for (const std::string& id : pages) {
        if (title(id) == wanted)
            return id;
    }
    // The browser's idea of a title can lag behind the page's own, last read.
    for (const std::string& id : pages) {
        const Target& target = m_targets[id];
        if (target.snapshot && target.snapshot->title == wanted)
            return id;
    }
    return std::nullopt;
}

ChromiumClient::Stamp ChromiumClient::now() const
{
    return {m_epoch, std::chrono::steady_clock::now()};
}

bool ChromiumClient::fresh(const Stamp& stamp) const
{
    return stamp.epoch == m_epoch &&
           std::chrono::steady_clock::now() - stamp.at < m_settings.readReuse;
}

void ChromiumClient::rememberWindow(const json& bounds, std::int64_t windowId)
{
    // Places and sizes no screen has are not taken; what was known stays.
    constexpr std::int64_t kFar = 1'000'000;
    Window& window = m_windows[windowId];
    const auto read = [&](const char* key, int& into, std::int64_t min) {
        if (const auto value = checked::integerAt(bounds, key, min, kFar))
            into = static_cast<int>(*value);
    };
    window.bounds.windowId = windowId;
    read("left", window.bounds.left, -kFar);
    read("top", window.bounds.top, -kFar);
    read("width", window.bounds.width, 0);
    read("height", window.bounds.height, 0);
    const std::string state = checked::lineAt(bounds, "windowState", 32);
    window.bounds.state =
        state == "minimized" || state == "maximized" || state == "fullscreen" ? state : "normal";
    window.stamp = now();
}

WindowBounds ChromiumClient::windowOf(const std::string& member, const std::string& targetId)
{
    session(member);
    Target& target = known(member, targetId);
    if (target.windowId != 0 && fresh(target.windowStamp)) {
        const auto it = m_windows.find(target.windowId);
        if (it != m_windows.end() && fresh(it->second.stamp))
            return it->second.bounds;
    }
    const json result = browserCall(member, "Browser.getWindowForTarget", {{"targetId", targetId}});
    // The handle made of it must stay among the browser windows' handles.
    const auto windowId = checked::integerAt(result, "windowId", 1, 0xFFFFFFFF);
    if (!windowId)
        throw Error(member, "the tab has no window");
    Target& again = known(member, targetId);
    again.windowId = *windowId;
    again.windowStamp = now();
    rememberWindow(checked::objectAt(result, "bounds"), *windowId);
    return m_windows[*windowId].bounds;
}

WindowBounds ChromiumClient::windowBounds(const std::string& member, std::int64_t windowId)
{
    session(member);
    const auto it = m_windows.find(windowId);
    if (it != m_windows.end() && fresh(it->second.stamp))
        return it->second.bounds;
    const json result = browserCall(member, "Browser.getWindowBounds", {{"windowId", windowId}});
    rememberWindow(checked::objectAt(result, "bounds"), windowId);
    return m_windows[windowId].bounds;
}

void ChromiumClient::setWindowState(const std::string& member, std::int64_t windowId,
                                    const std::string& state)
{
    invalidate();
    browserCall(member, "Browser.setWindowBounds",
                {{"windowId", windowId}, {"bounds", {{"windowState", state}}}});
}

void ChromiumClient::setWindowRect(const std::string& member, std::int64_t windowId,
                                   const json& rect)
{
    // The browser changes the geometry only of a window in the normal state, and
    // not in the same call that changes the state.
    if (windowBounds(member, windowId).state != "normal") {
        setWindowState(member, windowId, "normal");
        // The window manager carries the change out on its own time; a size given
        // before it has would be undone by the restore.
        const auto until = std::chrono::steady_clock::now() + m_settings.browserTimeout / 2;
        while (windowBounds(member, windowId).state != "normal" &&
               std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            invalidate();
        }
    }
    invalidate();
    browserCall(member, "Browser.setWindowBounds", {{"windowId", windowId}, {"bounds", rect}});
}

std::optional<std::string> ChromiumClient::shownTab(std::int64_t windowId)
{
    const auto it = m_windows.find(windowId);
    if (it != m_windows.end() && knows(it->second.shownTab))
        return it->second.shownTab;
    // Not seen yet: the first tab found in that window.
    for (const std::string& id : pageTargets()) {
        const auto& target = m_targets[id];
        std::int64_t window = target.windowId;
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

json ChromiumClient::valueOf(const std::string& member, const json& result)
{
    const json& details = checked::at(result, "exceptionDetails");
    if (!details.is_null()) {
        const std::string reason = checked::exceptionReason(details);
        throw Error(member, reason.empty() ? "the page raised an exception" : reason);
    }
    // A value JSON cannot hold (NaN, Infinity, a BigInt) comes without one: null.
    return checked::at(checked::objectAt(result, "result"), "value");
}

PageSnapshot ChromiumClient::snapshot(const std::string& member, const std::string& targetId)
{
    session(member);
    {
        const Target& target = known(member, targetId);
        if (target.snapshot && fresh(target.snapshotStamp))
            return *target.snapshot;
    }
    const json value = readFunction(member, targetId, scripts::kSnapshot, {limits::kMaxPageText});
    if (!value.is_object())
        throw Error(member, "the page gave no answer");
    PageSnapshot snapshot;
    snapshot.busy = checked::lineAt(value, "ready", 64) != "complete";
    snapshot.frames.reset();
    if (const auto frames = checked::integerAt(value, "frames", 0, limits::kMaxFrames))
        snapshot.frames = static_cast<int>(*frames);
    snapshot.visible = checked::booleanAt(value, "visible", false);
    snapshot.title = checked::lineAt(value, "title", limits::kMaxPageText);
    Target& target = known(member, targetId);
    target.snapshot = snapshot;
    target.snapshotStamp = now();
    if (snapshot.visible && target.windowId != 0)
        m_windows[target.windowId].shownTab = targetId;
    return snapshot;
}

std::int64_t ChromiumClient::programWorld(const std::string& member, const std::string& targetId)
{
    if (const std::int64_t world = known(member, targetId).world; world != 0)
        return world;
    // The page's main frame has the tab's id. The browser gives the same world again
    // for as long as the document lasts.
    const json result = pageCall(member, targetId, "Page.createIsolatedWorld",
                                 {{"frameId", targetId}, {"worldName", kWorldName}});
    const auto world = checked::integerAt(result, "executionContextId", 1,
                                          std::numeric_limits<std::int32_t>::max());
    if (!world)
        throw Error(member, "the page cannot be reached");
    pageCall(member, targetId, "Runtime.callFunctionOn",
             {{"functionDeclaration", scripts::kMarkWorld},
              {"executionContextId", *world},
              {"arguments", json::array({{{"value", m_worldMark}}})}});
    known(member, targetId).world = *world;
    return *world;
}

json ChromiumClient::inProgramWorld(const std::string& member, const std::string& targetId,
                                    const std::string& method, json params, const char* contextKey)
{
    for (int attempt = 0;; ++attempt) {
        params[contextKey] = programWorld(member, targetId);
        bool again = false;
        try {
            json result = pageCall(member, targetId, method, params);
            // A context id of an earlier document may name another world now.
            again = checked::exceptionReason(checked::at(result, "exceptionDetails"))
                        .find(kNotOurWorld) != std::string::npos;
            if (!again || attempt > 0)
                return result;
        } catch (const DeadlineExceeded&) {
            throw;
        } catch (const Error&) {
            // The document was replaced since its world was made: made anew, once. A
            // page that does not answer at all has nothing to do with its world.
            if (attempt > 0 || !m_session || !knows(targetId) ||
                m_session->overdue(known(member, targetId).sessionId) > 0 ||
                m_session->browserSilent())
                throw;
        }
        known(member, targetId).world = 0;
    }
}

json ChromiumClient::evaluate(const std::string& member, const std::string& targetId,
                              const std::string& expression)
{
    return valueOf(member, inProgramWorld(member, targetId, "Runtime.evaluate",
                                          {{"expression", expression}, {"returnByValue", true}},
                                          "contextId"));
}

json ChromiumClient::callInPage(const std::string& member, const std::string& targetId,
                                const std::string& declaration, const json& args, bool byValue,
                                const char* objectGroup)
{
    json arguments = json::array({{{"value", m_worldMark}}});
    for (const json& value : args)
        arguments.push_back({{"value", value}});
    json params = {{"functionDeclaration", inWorld(declaration)},
                   {"arguments", std::move(arguments)},
                   {"returnByValue", byValue}};
    if (objectGroup)
        params["objectGroup"] = objectGroup;
    return inProgramWorld(member, targetId, "Runtime.callFunctionOn", std::move(params),
                          "executionContextId");
}

json ChromiumClient::callFunction(const std::string& member, const std::string& targetId,
                                  const std::string& declaration, const json& args)
{
    invalidate();
    return valueOf(member, callInPage(member, targetId, declaration, args, true));
}

json ChromiumClient::readFunction(const std::string& member, const std::string& targetId,
                                  const std::string& declaration, const json& args)
{
    return valueOf(member, callInPage(member, targetId, declaration, args, true));
}

void ChromiumClient::navigate(const std::string& member, const std::string& targetId,
                              const std::string& address)
{
    const std::string sessionId = sessionFor(member, targetId);
    DevToolsSession& s = *m_session;
    invalidate();
    known(member, targetId).world = 0;
    try {
        const json result = s.call(
            {member, "Page.navigate", {{"url", address}}, sessionId, m_settings.pageTimeout});
        processEvents();
        (void)result;
    } catch (const DeadlineExceeded& late) {
        // A slow server: the navigation goes on in the browser; its answer is harmless.
        s.forgetOverdue(late.requestId());
    } catch (const Error&) {
        if (!s.alive())
            lost();
        throw;
    }
}

namespace {

// The frames of a frame tree below its top, at most kMaxFrames of them and no deeper
// than kMaxFrameDepth.
void collectFrames(const json& tree, std::map<std::string, FrameAddress>& byId,
                   std::vector<FrameAddress>* inOrder, int depth = 0)
{
    if (depth > limits::kMaxFrameDepth || byId.size() >= limits::kMaxFrames)
        return;
    const json& frame = checked::objectAt(tree, "frame");
    FrameAddress address{checked::idAt(frame, "id"),
                         checked::lineAt(frame, "url", limits::kMaxAddress),
                         checked::lineAt(frame, "name", limits::kMaxPageText)};
    if (const std::string fragment = checked::lineAt(frame, "urlFragment", limits::kMaxAddress);
        !fragment.empty())
        address.url = checked::lineText(address.url + fragment, limits::kMaxAddress);
    if (depth > 0 && !address.frameId.empty() && !byId.count(address.frameId)) {
        byId[address.frameId] = address;
        if (inOrder)
            inOrder->push_back(address);
    }
    for (const json& child : checked::arrayAt(tree, "childFrames"))
        collectFrames(child, byId, inOrder, depth + 1);
}

// The index an array element's property name stands for, below limit; nothing for
// other properties ("length", "__proto__").
std::optional<int> elementIndex(const std::string& name, int limit)
{
    if (name.empty() || name.size() > 9 ||
        !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int index = std::stoi(name);
    return index < limit ? std::optional<int>(index) : std::nullopt;
}

// The resources of a resource tree, address to size, the first of each address.
void collectResources(const json& tree, std::map<std::string, long long>& sizes, int depth = 0)
{
    if (depth > limits::kMaxFrameDepth)
        return;
    for (const json& resource : checked::arrayAt(tree, "resources")) {
        // Sizes are whole bytes; another number is no size.
        const auto size = checked::integerAt(resource, "contentSize", 0, std::int64_t{1} << 53);
        if (size)
            sizes.emplace(checked::textAt(resource, "url"), *size);
    }
    for (const json& child : checked::arrayAt(tree, "childFrames"))
        collectResources(child, sizes, depth + 1);
}

} // namespace

std::vector<FrameAddress> ChromiumClient::childFrames(const std::string& member,
                                                      const std::string& targetId)
{
    // Asked once for each frame by the frame expansion: one lookup serves them all.
    session(member);
    {
        const Target& target = known(member, targetId);
        if (target.childFrames && fresh(target.childFramesStamp))
            return *target.childFrames;
    }
    // The frame owners in document order give the order; their frame ids give the
    // addresses, from the frame tree or, for a cross-site frame, from its own target.
    const json owners = callInPage(member, targetId, scripts::kFrameOwners, {limits::kMaxFrames},
                                   false, "tabulon-frames");
    valueOf(member, owners);
    const std::string arrayId = checked::idAt(checked::objectAt(owners, "result"), "objectId");
    std::vector<std::string> frameIds;
    if (!arrayId.empty()) {
        const auto release = [&] {
            if (m_session && knows(targetId))
                m_session->post({member,
                                 "Runtime.releaseObjectGroup",
                                 {{"objectGroup", "tabulon-frames"}},
                                 known(member, targetId).sessionId,
                                 m_settings.browserTimeout});
        };
        try {
            const json properties = pageCall(member, targetId, "Runtime.getProperties",
                                             {{"objectId", arrayId}, {"ownProperties", true}});
            std::vector<std::pair<int, std::string>> elements;
            for (const json& property : checked::arrayAt(properties, "result")) {
                const auto index =
                    elementIndex(checked::lineAt(property, "name", 16), limits::kMaxFrames);
                const std::string objectId =
                    checked::idAt(checked::objectAt(property, "value"), "objectId");
                if (index && !objectId.empty())
                    elements.emplace_back(*index, objectId);
            }
            if (elements.size() > static_cast<std::size_t>(limits::kMaxFrames))
                throw Error(member, "the page has more frames than the program reads");
            std::sort(elements.begin(), elements.end());
            for (const auto& element : elements) {
                const json node =
                    pageCall(member, targetId, "DOM.describeNode", {{"objectId", element.second}});
                frameIds.push_back(checked::idAt(checked::objectAt(node, "node"), "frameId"));
            }
        } catch (const Error&) {
            release();
            throw;
        }
        release();
    }
    std::map<std::string, FrameAddress> byId;
    collectFrames(checked::objectAt(pageCall(member, targetId, "Page.getFrameTree", json::object()),
                                    "frameTree"),
                  byId, nullptr);
    std::vector<FrameAddress> frames;
    for (const std::string& id : frameIds) {
        if (const auto it = byId.find(id); it != byId.end()) {
            frames.push_back(it->second);
        } else if (const auto target = m_targets.find(id); target != m_targets.end()) {
            frames.push_back({id, target->second.url, {}});
        } else {
            frames.push_back({id, {}, {}});
        }
    }
    Target& target = known(member, targetId);
    target.childFrames = frames;
    target.childFramesStamp = now();
    return frames;
}

std::vector<FrameAddress> ChromiumClient::allFrames(const std::string& member,
                                                    const std::string& targetId)
{
    std::map<std::string, FrameAddress> byId;
    std::vector<FrameAddress> frames;
    collectFrames(checked::objectAt(pageCall(member, targetId, "Page.getFrameTree", json::object()),
                                    "frameTree"),
                  byId, &frames);
    // Cross-site frames are targets of their own below the page (perhaps through
    // other cross-site frames).
    std::vector<std::pair<std::uint64_t, std::string>> remote;
    for (const auto& [id, target] : m_targets) {
        if (target.type != "iframe" || byId.count(id))
            continue;
        std::string parent = target.parentId;
        for (int depth = 0; depth < limits::kMaxFrameDepth && !parent.empty() && parent != targetId;
             ++depth) {
            const auto up = m_targets.find(parent);
            parent = up == m_targets.end() ? std::string() : up->second.parentId;
        }
        if (parent == targetId)
            remote.emplace_back(target.order, id);
    }
    std::sort(remote.begin(), remote.end());
    for (const auto& [order, id] : remote) {
        if (frames.size() >= static_cast<std::size_t>(limits::kMaxFrames))
            break;
        frames.push_back({id, m_targets[id].url, {}});
    }
    return frames;
}

std::optional<long long> ChromiumClient::resourceSize(const std::string& member,
                                                      const std::string& targetId,
                                                      const std::string& address)
{
    session(member);
    if (const Target& target = known(member, targetId);
        !target.resources || !fresh(target.resourcesStamp)) {
        std::map<std::string, long long> sizes;
        collectResources(
            checked::objectAt(pageCall(member, targetId, "Page.getResourceTree", json::object()),
                              "frameTree"),
            sizes);
        Target& again = known(member, targetId);
        again.resources = std::move(sizes);
        again.resourcesStamp = now();
    }
    const auto& sizes = *known(member, targetId).resources;
    const auto found = sizes.find(address);
    if (found == sizes.end())
        return std::nullopt;
    return found->second;
}

std::optional<bool> ChromiumClient::storedProperty(const std::string& targetId,
                                                   BrowserProperty property) const
{
    const auto it = m_targets.find(targetId);
    if (it == m_targets.end())
        return std::nullopt;
    const auto value = it->second.properties.find(property);
    if (value == it->second.properties.end())
        return std::nullopt;
    return value->second;
}

void ChromiumClient::storeProperty(const std::string& targetId, BrowserProperty property,
                                   bool value)
{
    if (const auto it = m_targets.find(targetId); it != m_targets.end())
        it->second.properties[property] = value;
}

} // namespace automation::chromium
