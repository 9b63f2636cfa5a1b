#include "automation/bridged/BridgePeer.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/Checked.h"

#include <algorithm>
#include <cerrno>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace automation::bridged {

using nlohmann::json;
namespace checked = chromium::checked;

namespace {

// The extension answers timeout on its own; ours runs out a little later, for the
// replies that never come (a browser that hangs).
constexpr std::chrono::milliseconds kDeadlineMargin{500};
constexpr std::int64_t kMaxRequestTimeout = 60000;

json parseMessage(const std::string& text)
{
    if (!checked::nestsWithin(text, limits::kMaxJsonDepth))
        return nullptr;
    json value = json::parse(text, nullptr, false);
    if (value.is_discarded())
        value = json::parse(checked::repairJsonText(text), nullptr, false);
    return value.is_discarded() ? json(nullptr) : value;
}

} // namespace

BridgePeer::BridgePeer(int fd, std::uint64_t serial, WaitClock& clock)
    : m_fd(fd), m_serial(serial), m_clock(clock)
{}

BridgePeer::~BridgePeer()
{
    closeDescriptor();
}

void BridgePeer::closeDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_alive = false;
}

const BridgePeer::KeptPage* BridgePeer::keptPage(std::int64_t tabId) const
{
    const auto at = m_pageLists.find(tabId);
    return at == m_pageLists.end() ? nullptr : &at->second;
}

const json* BridgePeer::pageList(std::int64_t tabId) const
{
    const KeptPage* kept = keptPage(tabId);
    return kept && kept->failure.empty() ? &kept->list : nullptr;
}

void BridgePeer::keepPageList(std::int64_t tabId, json list)
{
    if (m_model.tab(tabId))
        m_pageLists[tabId] = {std::move(list), {}, m_clock.now()};
}

void BridgePeer::keepPageFailure(std::int64_t tabId, std::string failure)
{
    if (m_model.tab(tabId))
        m_pageLists[tabId] = {json(), failure.empty() ? "the page failed" : std::move(failure),
                              m_clock.now()};
}

void BridgePeer::die()
{
    if (!m_alive)
        return;
    m_alive = false;
    // The descriptor stays open (shut down) until its watcher has let it go.
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
    m_model = BrowserModel();
    m_pageLists.clear();
}

BridgePeer::Read BridgePeer::readOnce()
{
    if (!m_alive || m_fd < 0)
        return Read::Closed;
    char buffer[65536];
    const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
    if (got > 0) {
        m_reader.feed(std::string_view(buffer, static_cast<std::size_t>(got)));
        while (auto message = m_reader.next())
            take(*message);
        return Read::Data;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return Read::Nothing;
    die();
    return Read::Closed;
}

void BridgePeer::readAvailable()
{
    // A browser that keeps sending cannot hold the program here: at most a few reads.
    for (int i = 0; i < 64 && readOnce() == Read::Data; ++i) {
    }
}

void BridgePeer::take(const std::string& text)
{
    const json message = parseMessage(text);
    const std::string type = checked::lineAt(message, "type", 32);
    if (type == "event") {
        // Any change to a tab may change its page.
        if (const auto tab = readId(checked::at(message, "tab"), "id"))
            m_pageLists.erase(*tab);
        if (const auto tab = readId(message, "tabId"))
            m_pageLists.erase(*tab);
        const bool focusBefore = m_model.focusedWindow().has_value();
        m_model.applyEvent(message);
        if (m_onFocus && m_model.focusedWindow() &&
            (checked::lineAt(message, "name", 64) == "windows.onFocusChanged" || !focusBefore))
            m_onFocus();
    } else if (type == "snapshot") {
        m_pageLists.clear();
        m_model.applySnapshot(message);
        if (m_onFocus && m_model.focusedWindow())
            m_onFocus();
    } else if (type == "reply") {
        const auto id = readId(message, "id");
        if (const auto posted = id ? m_posted.find(*id) : m_posted.end(); posted != m_posted.end())
            posted->second.reply = message;
        // Replies to requests given up on are dropped.
    } else if (type == "host") {
        m_info.origin = checked::lineAt(message, "origin", 512);
        m_info.browserPid =
            static_cast<pid_t>(checked::integerAt(message, "browserPid", 0, 4194304).value_or(0));
        m_info.profile = checked::lineAt(message, "profile", limits::kMaxAddress);
    } else if (type == "hello") {
        m_info.product = checked::lineAt(message, "product", 128);
        m_info.version = checked::lineAt(message, "version", 128);
    }
}

void BridgePeer::send(const std::string& member, const std::string& text,
                      WaitClock::TimePoint deadline)
{
    const auto frame = bridge::encodeFrame(text, bridge::kMaxToBrowser);
    if (!frame)
        throw Error(member, "the request is too large for the browser");
    std::size_t sent = 0;
    while (sent < frame->size()) {
        const ssize_t wrote =
            ::send(m_fd, frame->data() + sent, frame->size() - sent, MSG_NOSIGNAL);
        if (wrote > 0) {
            sent += static_cast<std::size_t>(wrote);
            continue;
        }
        if (wrote < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            if (m_clock.waitFd(m_fd, POLLOUT, deadline) == FdReady::Ready)
                continue;
            // Half a frame on the wire cannot be taken back: the stream is lost.
            if (sent > 0)
                die();
            throw Error(member, "the browser does not take requests");
        }
        die();
        throw Error(member, "the browser has gone");
    }
}

json BridgePeer::request(const std::string& member, const std::string& method, json params,
                         std::chrono::milliseconds timeout)
{
    return awaitReply(member, post(member, method, std::move(params), timeout));
}

std::int64_t BridgePeer::post(const std::string& member, const std::string& method, json params,
                              std::chrono::milliseconds timeout)
{
    if (!m_alive)
        throw Error(member, "the browser has gone");
    const auto ms = std::clamp<std::int64_t>(timeout.count(), 1, kMaxRequestTimeout);
    const auto deadline = m_clock.now() + std::chrono::milliseconds(ms) + kDeadlineMargin;
    const std::int64_t id = m_nextId++;
    params["timeoutMs"] = ms;
    const json message = {{"type", "request"}, {"id", id}, {"method", method}, {"params", params}};
    send(member, message.dump(-1, ' ', false, json::error_handler_t::replace), deadline);
    m_posted[id] = Posted{deadline, std::nullopt};
    ++m_roundTrips;
    return id;
}

json BridgePeer::awaitReply(const std::string& member, std::int64_t id)
{
    struct Done
    {
        BridgePeer& peer;
        std::int64_t id;
        ~Done() { peer.m_posted.erase(id); }
    } done{*this, id};
    const auto posted = [&]() -> Posted* {
        const auto at = m_posted.find(id);
        return at == m_posted.end() ? nullptr : &at->second;
    };
    if (!posted())
        throw Error(member, "no such request under way");
    while (!posted()->reply) {
        const Read read = readOnce();
        if (read == Read::Closed)
            throw Error(member, "the browser has gone");
        if (read == Read::Data)
            continue;
        const FdReady ready = m_clock.waitFd(m_fd, POLLIN, posted()->deadline);
        if (ready == FdReady::Timeout)
            throw Error(member, "the browser did not answer in time");
        if (ready == FdReady::Error) {
            die();
            throw Error(member, "the browser has gone");
        }
    }
    const json reply = std::move(*posted()->reply);
    if (const json& error = checked::at(reply, "error"); !error.is_null()) {
        const std::string code = checked::lineAt(error, "code", 64);
        const std::string text = checked::lineAt(error, "message", 1024);
        throw Error(member, text.empty() ? code : text);
    }
    return checked::at(reply, "result");
}

namespace {

bool onlyBounds(const json& fields)
{
    for (const auto& [name, value] : fields.items()) {
        if (name != "left" && name != "top" && name != "width" && name != "height")
            return false;
    }
    return true;
}

} // namespace

void BridgePeer::updateWindow(const std::string& member, std::int64_t windowId, json fields)
{
    if (m_windowBatch == 0) {
        fields["windowId"] = windowId;
        const json result = request(member, "window.update", std::move(fields));
        m_model.takeWindow(checked::at(result, "window"));
        return;
    }
    const auto held = std::find_if(m_heldChanges.begin(), m_heldChanges.end(),
                                   [&](const auto& change) { return change.first == windowId; });
    if (onlyBounds(fields)) {
        if (held != m_heldChanges.end()) {
            for (auto& [name, value] : fields.items())
                held->second[name] = std::move(value);
            return;
        }
        // Two changes of one window at once would race in the browser: one sent
        // before is carried out first.
        awaitWindowChanges(windowId);
        m_heldChanges.emplace_back(windowId, std::move(fields));
        return;
    }
    sendHeldChanges(windowId);
    awaitWindowChanges(windowId);
    fields["windowId"] = windowId;
    m_windowChanges.emplace_back(windowId, post(member, "window.update", std::move(fields)));
}

void BridgePeer::commitWindowBatch()
{
    if (m_windowBatch > 0 && --m_windowBatch == 0) {
        sendHeldChanges(std::nullopt);
        awaitWindowChanges(std::nullopt);
    }
}

void BridgePeer::sendHeldChanges(std::optional<std::int64_t> windowId)
{
    std::vector<std::pair<std::int64_t, json>> sending;
    std::vector<std::pair<std::int64_t, json>> kept;
    for (auto& change : m_heldChanges)
        (!windowId || change.first == *windowId ? sending : kept).push_back(std::move(change));
    m_heldChanges = std::move(kept);
    for (auto& change : sending) {
        change.second["windowId"] = change.first;
        skipOnFailure([&] {
            m_windowChanges.emplace_back(
                change.first, post("commitBatch", "window.update", std::move(change.second)));
        });
    }
}

void BridgePeer::awaitWindowChanges(std::optional<std::int64_t> windowId)
{
    std::vector<std::int64_t> requests;
    std::erase_if(m_windowChanges, [&](const auto& change) {
        const bool awaited = !windowId || change.first == *windowId;
        if (awaited)
            requests.push_back(change.second);
        return awaited;
    });
    for (const std::int64_t id : requests) {
        skipOnFailure([&] {
            const json result = awaitReply("commitBatch", id);
            m_model.takeWindow(checked::at(result, "window"));
        });
    }
}

} // namespace automation::bridged
