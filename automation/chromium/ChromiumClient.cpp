#include "automation/chromium/ChromiumClient.h"

#include "automation/Error.h"
#include "automation/chromium/PageScripts.h"
#include "automation/chromium/WebSocketTransport.h"

#include <algorithm>
#include <functional>
#include <thread>

namespace automation::chromium {

using nlohmann::json;

namespace {

std::string text(const json& object, const char* key)
{
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool isListedPage(const json& info)
{
    return text(info, "type") == "page" && text(info, "url").rfind("devtools://", 0) != 0;
}

// Tabs and cross-site frames; the browser's own pages (omnibox and such) are no
// business of the program.
const json kTargetFilter = json::array({{{"type", "page"}, {"exclude", false}},
                                        {{"type", "iframe"}, {"exclude", false}},
                                        {{"exclude", true}}});

} // namespace

ChromiumClient::ChromiumClient(ChromiumSettings settings) : m_settings(std::move(settings)) {}

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
        throw;
    } catch (const Error&) {
        if (!s.alive())
            lost();
        throw;
    }
}

ChromiumClient::Target& ChromiumClient::record(const std::string& targetId, const json& info)
{
    Target& target = m_targets[targetId];
    if (target.order == 0)
        target.order = m_nextOrder++;
    if (info.is_object()) {
        target.type = text(info, "type");
        target.url = text(info, "url");
        target.title = text(info, "title");
        target.parentId = text(info, "parentId");
    }
    return target;
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
        const std::string method = text(event, "method");
        const json params = event.value("params", json::object());
        if (method == "Target.targetCreated" || method == "Target.targetInfoChanged") {
            const json info = params.value("targetInfo", json::object());
            const std::string type = text(info, "type");
            if ((type == "page" || type == "iframe") && !m_closing.count(text(info, "targetId")))
                record(text(info, "targetId"), info);
        } else if (method == "Target.targetDestroyed") {
            m_targets.erase(text(params, "targetId"));
            m_closing.erase(text(params, "targetId"));
        } else if (method == "Target.attachedToTarget") {
            const json info = params.value("targetInfo", json::object());
            const std::string type = text(info, "type");
            if ((type != "page" && type != "iframe") || m_closing.count(text(info, "targetId")))
                continue;
            Target& target = record(text(info, "targetId"), info);
            const std::string sessionId = text(params, "sessionId");
            if (!target.sessionId.empty() || sessionId.empty())
                continue;
            target.sessionId = sessionId;
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
            const std::string sessionId = text(params, "sessionId");
            for (auto& [id, target] : m_targets) {
                if (target.sessionId == sessionId) {
                    target.sessionId.clear();
                    target.globalObject.clear();
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
        attached.sessionId = text(result, "sessionId");
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
    for (const json& info : result.value("targetInfos", json::array())) {
        const std::string id = text(info, "targetId");
        present[id] = true;
        if (!isListedPage(info) || m_closing.count(id))
            continue;
        const Target& target = record(id, info);
        pages.emplace_back(target.order, id);
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
    const std::string targetId = text(result, "targetId");
    if (targetId.empty())
        throw Error(member, "the browser opened no window");
    record(targetId, nullptr);
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

std::optional<std::string> ChromiumClient::findPageByTitle(const std::string& wanted)
{
    const std::vector<std::string> pages = pageTargets();
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
    Window& window = m_windows[windowId];
    window.bounds.windowId = windowId;
    window.bounds.left = bounds.value("left", window.bounds.left);
    window.bounds.top = bounds.value("top", window.bounds.top);
    window.bounds.width = bounds.value("width", window.bounds.width);
    window.bounds.height = bounds.value("height", window.bounds.height);
    window.bounds.state = bounds.value("windowState", std::string("normal"));
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
    const std::int64_t windowId = result.value("windowId", std::int64_t{0});
    if (windowId == 0)
        throw Error(member, "the tab has no window");
    Target& again = known(member, targetId);
    again.windowId = windowId;
    again.windowStamp = now();
    rememberWindow(result.value("bounds", json::object()), windowId);
    return m_windows[windowId].bounds;
}

WindowBounds ChromiumClient::windowBounds(const std::string& member, std::int64_t windowId)
{
    session(member);
    const auto it = m_windows.find(windowId);
    if (it != m_windows.end() && fresh(it->second.stamp))
        return it->second.bounds;
    const json result = browserCall(member, "Browser.getWindowBounds", {{"windowId", windowId}});
    rememberWindow(result.value("bounds", json::object()), windowId);
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
    if (result.contains("exceptionDetails")) {
        const json& details = result["exceptionDetails"];
        std::string reason = text(details, "text");
        if (details.contains("exception"))
            reason = text(details["exception"], "description");
        throw Error(member, reason.empty() ? "the page raised an exception" : reason);
    }
    const json value = result.value("result", json::object());
    return value.value("value", json());
}

PageSnapshot ChromiumClient::snapshot(const std::string& member, const std::string& targetId)
{
    session(member);
    {
        const Target& target = known(member, targetId);
        if (target.snapshot && fresh(target.snapshotStamp))
            return *target.snapshot;
    }
    const json value = evaluate(member, targetId, scripts::kSnapshot);
    if (!value.is_object())
        throw Error(member, "the page gave no answer");
    PageSnapshot snapshot;
    snapshot.busy = value.value("ready", std::string()) != "complete";
    snapshot.frames = value.value("frames", 0);
    snapshot.visible = value.value("visible", false);
    snapshot.title = value.value("title", std::string());
    Target& target = known(member, targetId);
    target.snapshot = snapshot;
    target.snapshotStamp = now();
    if (snapshot.visible && target.windowId != 0)
        m_windows[target.windowId].shownTab = targetId;
    return snapshot;
}

json ChromiumClient::evaluate(const std::string& member, const std::string& targetId,
                              const std::string& expression)
{
    return valueOf(member, pageCall(member, targetId, "Runtime.evaluate",
                                    {{"expression", expression}, {"returnByValue", true}}));
}

std::string ChromiumClient::globalObject(const std::string& member, const std::string& targetId)
{
    Target& target = known(member, targetId);
    if (!target.globalObject.empty())
        return target.globalObject;
    const json result = pageCall(member, targetId, "Runtime.evaluate",
                                 {{"expression", scripts::kGlobal}, {"objectGroup", "tabulon"}});
    const std::string objectId = text(result.value("result", json::object()), "objectId");
    if (objectId.empty())
        throw Error(member, "the page has no global object");
    known(member, targetId).globalObject = objectId;
    return objectId;
}

json ChromiumClient::callFunction(const std::string& member, const std::string& targetId,
                                  const std::string& declaration, const json& args)
{
    json arguments = json::array();
    for (const json& value : args)
        arguments.push_back({{"value", value}});
    invalidate();
    for (int attempt = 0;; ++attempt) {
        const std::string objectId = globalObject(member, targetId);
        json result;
        try {
            result = pageCall(member, targetId, "Runtime.callFunctionOn",
                              {{"functionDeclaration", declaration},
                               {"objectId", objectId},
                               {"arguments", arguments},
                               {"returnByValue", true}});
        } catch (const DeadlineExceeded&) {
            throw;
        } catch (const Error&) {
            // The page was replaced since its global object was taken: take it anew,
            // once. A script's own exception comes back as a value and is not retried.
            if (attempt > 0 || !m_session || !knows(targetId))
                throw;
            known(member, targetId).globalObject.clear();
            continue;
        }
        return valueOf(member, result);
    }
}

void ChromiumClient::navigate(const std::string& member, const std::string& targetId,
                              const std::string& address)
{
    const std::string sessionId = sessionFor(member, targetId);
    DevToolsSession& s = *m_session;
    invalidate();
    known(member, targetId).globalObject.clear();
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

void collectFrames(const json& tree, std::map<std::string, FrameAddress>& byId,
                   std::vector<FrameAddress>* inOrder, bool top)
{
    const json frame = tree.value("frame", json::object());
    FrameAddress address{text(frame, "id"), text(frame, "url"), text(frame, "name")};
    if (!text(frame, "urlFragment").empty())
        address.url += text(frame, "urlFragment");
    if (!top) {
        byId[address.frameId] = address;
        if (inOrder)
            inOrder->push_back(address);
    }
    for (const json& child : tree.value("childFrames", json::array()))
        collectFrames(child, byId, inOrder, false);
}

} // namespace

std::vector<FrameAddress> ChromiumClient::childFrames(const std::string& member,
                                                      const std::string& targetId)
{
    // The frame owners in document order give the order; their frame ids give the
    // addresses, from the frame tree or, for a cross-site frame, from its own target.
    const json owners =
        pageCall(member, targetId, "Runtime.evaluate",
                 {{"expression", scripts::kFrameOwners}, {"objectGroup", "tabulon-frames"}});
    valueOf(member, owners);
    const std::string arrayId = text(owners.value("result", json::object()), "objectId");
    std::vector<std::string> frameIds;
    if (!arrayId.empty()) {
        const json properties = pageCall(member, targetId, "Runtime.getProperties",
                                         {{"objectId", arrayId}, {"ownProperties", true}});
        std::vector<std::pair<int, std::string>> elements;
        for (const json& property : properties.value("result", json::array())) {
            const std::string name = text(property, "name");
            if (name.empty() ||
                !std::all_of(name.begin(), name.end(),
                             [](unsigned char c) { return c >= '0' && c <= '9'; }) ||
                name.size() > 6)
                continue;
            const std::string objectId = text(property.value("value", json::object()), "objectId");
            if (!objectId.empty())
                elements.emplace_back(std::stoi(name), objectId);
        }
        std::sort(elements.begin(), elements.end());
        for (const auto& element : elements) {
            const json node =
                pageCall(member, targetId, "DOM.describeNode", {{"objectId", element.second}});
            frameIds.push_back(text(node.value("node", json::object()), "frameId"));
        }
        m_session->post({member,
                         "Runtime.releaseObjectGroup",
                         {{"objectGroup", "tabulon-frames"}},
                         known(member, targetId).sessionId,
                         m_settings.browserTimeout});
    }
    std::map<std::string, FrameAddress> byId;
    collectFrames(pageCall(member, targetId, "Page.getFrameTree", json::object())
                      .value("frameTree", json::object()),
                  byId, nullptr, true);
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
    return frames;
}

std::vector<FrameAddress> ChromiumClient::allFrames(const std::string& member,
                                                    const std::string& targetId)
{
    std::map<std::string, FrameAddress> byId;
    std::vector<FrameAddress> frames;
    collectFrames(pageCall(member, targetId, "Page.getFrameTree", json::object())
                      .value("frameTree", json::object()),
                  byId, &frames, true);
    // Cross-site frames are targets of their own below the page (perhaps through
    // other cross-site frames).
    std::vector<std::pair<std::uint64_t, std::string>> remote;
    for (const auto& [id, target] : m_targets) {
        if (target.type != "iframe" || byId.count(id))
            continue;
        std::string parent = target.parentId;
        for (int depth = 0; depth < 32 && !parent.empty() && parent != targetId; ++depth) {
            const auto up = m_targets.find(parent);
            parent = up == m_targets.end() ? std::string() : up->second.parentId;
        }
        if (parent == targetId)
            remote.emplace_back(target.order, id);
    }
    std::sort(remote.begin(), remote.end());
    for (const auto& [order, id] : remote)
        frames.push_back({id, m_targets[id].url, {}});
    return frames;
}

std::optional<long long> ChromiumClient::resourceSize(const std::string& member,
                                                      const std::string& targetId,
                                                      const std::string& address)
{
    const json tree = pageCall(member, targetId, "Page.getResourceTree", json::object())
                          .value("frameTree", json::object());
    std::optional<long long> found;
    const std::function<void(const json&)> visit = [&](const json& node) {
        for (const json& resource : node.value("resources", json::array())) {
            if (!found && text(resource, "url") == address && resource.contains("contentSize") &&
                resource["contentSize"].is_number())
                found = static_cast<long long>(resource["contentSize"].get<double>());
        }
        for (const json& child : node.value("childFrames", json::array()))
            visit(child);
    };
    visit(tree);
    return found;
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
