#include "automation/chromium/TargetRegistry.h"

#include "automation/Error.h"
#include "automation/Limits.h"

#include <algorithm>
#include <type_traits>
#include <variant>

namespace automation::chromium {

using nlohmann::json;

namespace {

// Target ids by the order in which the browser first named them.
std::vector<std::string> inOrder(std::vector<std::pair<std::uint64_t, std::string>> ordered)
{
    std::sort(ordered.begin(), ordered.end());
    std::vector<std::string> ids;
    ids.reserve(ordered.size());
    for (auto& entry : ordered)
        ids.push_back(std::move(entry.second));
    return ids;
}

} // namespace

TargetRegistry::TargetRegistry(BrowserConnection& connection) : m_connection(connection) {}

void TargetRegistry::addListener(TargetListener& listener)
{
    m_listeners.push_back(&listener);
}

void TargetRegistry::clear()
{
    m_targets.clear();
    m_closing.clear();
    m_forgotten.clear();
}

TargetRegistry::Target* TargetRegistry::record(const std::string& targetId, const TargetInfo* info)
{
    if (targetId.empty() || (!knows(targetId) && m_targets.size() >= kMaxTargets))
        return nullptr;
    Target& target = m_targets[targetId];
    const bool known = target.order != 0;
    if (!known) {
        target.order = ++m_sequence;
        m_forgotten.erase(targetId);
    }
    if (info) {
        // Another document: the program's world in the old one is gone with it.
        if (known && info->url != target.url) {
            for (TargetListener* listener : m_listeners)
                listener->documentGone(targetId);
        }
        const bool differs = !known || info->url != target.url || info->title != target.title ||
                             info->parentId != target.parentId;
        target.kind = info->kind;
        target.url = info->url;
        target.title = info->title;
        target.parentId = info->parentId;
        if (differs) {
            target.changed = true;
            // A frame that came or changed changes the page it is in.
            if (const auto parent = m_targets.find(info->parentId); parent != m_targets.end())
                parent->second.changed = true;
        }
    }
    return &target;
}

void TargetRegistry::forget(const std::string& targetId)
{
    if (m_targets.erase(targetId) == 0)
        return;
    // Bounded: a list read after this many more targets went is long out of date.
    if (m_forgotten.size() >= kMaxTargets) {
        const auto oldest =
            std::min_element(m_forgotten.begin(), m_forgotten.end(),
                             [](const auto& a, const auto& b) { return a.second < b.second; });
        m_forgotten.erase(oldest);
    }
    m_forgotten[targetId] = ++m_sequence;
    for (TargetListener* listener : m_listeners)
        listener->targetGone(targetId);
}

void TargetRegistry::apply(const BrowserEvent& event)
{
    std::visit(
        [this](const auto& e) {
            using Event = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<Event, TargetCreated> ||
                          std::is_same_v<Event, TargetInfoChanged>) {
                followed(e.info);
            } else if constexpr (std::is_same_v<Event, TargetDestroyed>) {
                forget(e.targetId);
                m_closing.erase(e.targetId);
            } else if constexpr (std::is_same_v<Event, AttachedToTarget>) {
                attached(e);
            } else if constexpr (std::is_same_v<Event, DetachedFromTarget>) {
                detached(e);
            } else {
                pageChanged(e.sessionId);
            }
        },
        event);
}

void TargetRegistry::followed(const TargetInfo& info)
{
    if (info.kind != TargetKind::Other && !m_closing.count(info.targetId))
        record(info.targetId, &info);
}

void TargetRegistry::attached(const AttachedToTarget& event)
{
    const TargetInfo& info = event.info;
    if (info.kind == TargetKind::Other || m_closing.count(info.targetId))
        return;
    Target* target = record(info.targetId, &info);
    if (!target || !target->sessionId.empty() || event.sessionId.empty())
        return;
    target->sessionId = event.sessionId;
    // Cross-site frames become targets of their own only while the page asks for
    // them; nothing waits for this answer.
    if (info.kind != TargetKind::Page)
        return;
    m_connection.post({"windows",
                       "Target.setAutoAttach",
                       {{"autoAttach", true}, {"waitForDebuggerOnStart", false}, {"flatten", true}},
                       event.sessionId,
                       m_connection.settings().browserTimeout});
    // The page's frames and loading are told of as they change, so a page nothing
    // happened in need not be read again.
    m_connection.post({"windows", "Page.enable", json::object(), event.sessionId,
                       m_connection.settings().browserTimeout});
}

void TargetRegistry::pageChanged(const std::string& sessionId)
{
    for (auto& [id, target] : m_targets) {
        if (target.sessionId == sessionId)
            target.changed = true;
    }
}

bool TargetRegistry::changed(const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    return it == m_targets.end() || it->second.changed;
}

void TargetRegistry::readingPage(const std::string& targetId)
{
    if (const auto it = m_targets.find(targetId); it != m_targets.end())
        it->second.changed = false;
}

void TargetRegistry::readingDropped(const std::string& targetId)
{
    if (const auto it = m_targets.find(targetId); it != m_targets.end())
        it->second.changed = true;
}

void TargetRegistry::detached(const DetachedFromTarget& event)
{
    for (auto& [id, target] : m_targets) {
        if (target.sessionId == event.sessionId) {
            target.sessionId.clear();
            target.changed = true;
            for (TargetListener* listener : m_listeners)
                listener->documentGone(id);
        }
    }
}

const TargetRegistry::Target& TargetRegistry::known(const std::string& member,
                                                    const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    if (it == m_targets.end())
        throw Error(member, "the window is closed");
    return it->second;
}

std::string TargetRegistry::url(const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    return it == m_targets.end() ? std::string() : it->second.url;
}

std::string TargetRegistry::title(const std::string& targetId) const
{
    const auto it = m_targets.find(targetId);
    return it == m_targets.end() ? std::string() : it->second.title;
}

std::optional<std::string> TargetRegistry::topOf(const Target& frame) const
{
    std::string parent = frame.parentId;
    for (int depth = 0; depth < limits::kMaxFrameDepth; ++depth) {
        const auto up = m_targets.find(parent);
        if (up == m_targets.end() || up->second.kind != TargetKind::Frame)
            return parent;
        parent = up->second.parentId;
    }
    return std::nullopt;
}

std::vector<std::string> TargetRegistry::framesBelow(const std::string& pageId) const
{
    std::vector<std::pair<std::uint64_t, std::string>> below;
    for (const auto& [id, target] : m_targets) {
        if (target.kind != TargetKind::Frame)
            continue;
        if (const auto top = topOf(target); top && *top == pageId)
            below.emplace_back(target.order, id);
    }
    return inOrder(std::move(below));
}

std::vector<std::string> TargetRegistry::pageTargets()
{
    if (!m_connection.connected())
        return {};
    json result;
    const std::uint64_t askedAt = mark();
    try {
        result = m_connection.browserCall("windows", "Target.getTargets");
    } catch (const Error&) {
        // A browser that went away has no tabs.
        if (!m_connection.connected())
            return {};
        throw;
    }
    return takeTargetList(result, askedAt);
}

std::vector<std::string> TargetRegistry::knownPages() const
{
    std::vector<std::pair<std::uint64_t, std::string>> pages;
    for (const auto& [id, target] : m_targets) {
        if (target.kind == TargetKind::Page && target.url.rfind("devtools://", 0) != 0)
            pages.emplace_back(target.order, id);
    }
    return inOrder(std::move(pages));
}

std::vector<std::string> TargetRegistry::takeTargetList(const json& result, std::uint64_t askedAt)
{
    const auto goneSince = [&](const std::string& id) {
        const auto it = m_forgotten.find(id);
        return it != m_forgotten.end() && it->second > askedAt;
    };
    std::vector<std::pair<std::uint64_t, std::string>> pages;
    std::set<std::string> present;
    for (const TargetInfo& info : readTargetInfos(result)) {
        present.insert(info.targetId);
        if (!info.listed() || m_closing.count(info.targetId) || goneSince(info.targetId))
            continue;
        if (const Target* target = record(info.targetId, &info))
            pages.emplace_back(target->order, info.targetId);
    }
    std::erase_if(m_closing, [&](const std::string& id) { return !present.count(id); });
    std::vector<std::string> gone;
    for (const auto& [id, target] : m_targets) {
        // The list may lack a cross-site frame the browser has told of (one still
        // loading): frames come and go by the events alone.
        const bool absent = !present.count(id) && target.kind != TargetKind::Frame;
        if (m_closing.count(id) || (absent && target.order <= askedAt))
            gone.push_back(id);
        else if (absent && target.kind == TargetKind::Page &&
                 target.url.rfind("devtools://", 0) != 0)
            pages.emplace_back(target.order, id);
    }
    for (const std::string& id : gone)
        forget(id);
    forgetFramesOfClosedPages();
    return inOrder(std::move(pages));
}

void TargetRegistry::forgetFramesOfClosedPages()
{
    // A frame whose tab went without the frame's own event.
    std::vector<std::string> orphans;
    for (const auto& [id, target] : m_targets) {
        if (target.kind != TargetKind::Frame)
            continue;
        if (const auto top = topOf(target); top && !knows(*top))
            orphans.push_back(id);
    }
    for (const std::string& id : orphans)
        forget(id);
}

std::string TargetRegistry::sessionFor(const std::string& member, const std::string& targetId)
{
    m_connection.session(member);
    if (const Target& target = known(member, targetId); !target.sessionId.empty())
        return target.sessionId;
    const json result = m_connection.browserCall(member, "Target.attachToTarget",
                                                 {{"targetId", targetId}, {"flatten", true}});
    // The attach event may have come with the answer, and named the session already.
    known(member, targetId);
    Target& attached = m_targets.find(targetId)->second;
    if (attached.sessionId.empty())
        attached.sessionId = readSessionId(result);
    if (attached.sessionId.empty())
        throw Error(member, "the page cannot be reached");
    return attached.sessionId;
}

std::string TargetRegistry::createWindow(const std::string& member)
{
    m_connection.ensureBrowser(member);
    if (m_connection.takeFreshStart()) {
        // The browser opens one blank tab of its own; it becomes this window rather
        // than being left beside it.
        WaitClock& clock = m_connection.clock();
        const auto until = clock.now() + m_connection.settings().browserTimeout;
        for (;;) {
            const std::vector<std::string> pages = pageTargets();
            if (pages.size() == 1 && url(pages.front()) == "about:blank")
                return pages.front();
            if (!pages.empty() || clock.now() >= until)
                break;
            clock.sleepFor(std::chrono::milliseconds(20));
        }
    }
    const json result = m_connection.browserCall(member, "Target.createTarget",
                                                 {{"url", "about:blank"}, {"newWindow", true}});
    std::string targetId = readTargetId(result);
    if (targetId.empty() || !record(targetId, nullptr))
        throw Error(member, "the browser opened no window");
    return targetId;
}

void TargetRegistry::closeTarget(const std::string& member, const std::string& targetId)
{
    known(member, targetId);
    m_connection.browserCall(member, "Target.closeTarget", {{"targetId", targetId}});
    forget(targetId);
    m_closing.insert(targetId);
}

void TargetRegistry::activateTarget(const std::string& member, const std::string& targetId)
{
    known(member, targetId);
    m_connection.browserCall(member, "Target.activateTarget", {{"targetId", targetId}});
}

std::optional<bool> TargetRegistry::storedProperty(const std::string& targetId,
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

void TargetRegistry::storeProperty(const std::string& targetId, BrowserProperty property,
                                   bool value)
{
    if (const auto it = m_targets.find(targetId); it != m_targets.end())
        it->second.properties[property] = value;
}

} // namespace automation::chromium
