#include "automation/chromium/DevToolsSession.h"

#include "automation/Limits.h"
#include "automation/chromium/Checked.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace automation::chromium {

using nlohmann::json;

namespace {

// The id a refused answer begins with: the browser writes {"id":N,... first.
std::optional<std::int64_t> leadingId(std::string_view head)
{
    std::size_t i = 0;
    const auto skipBlanks = [&] {
        while (i < head.size() &&
               (head[i] == ' ' || head[i] == '\t' || head[i] == '\r' || head[i] == '\n'))
            ++i;
    };
    const auto expect = [&](std::string_view what) {
        skipBlanks();
        if (head.substr(i, what.size()) != what)
            return false;
        i += what.size();
        return true;
    };
    if (!expect("{") || !expect("\"id\"") || !expect(":"))
        return std::nullopt;
    skipBlanks();
    std::int64_t id = 0;
    std::size_t digits = 0;
    for (; i < head.size() && head[i] >= '0' && head[i] <= '9'; ++i) {
        if (++digits > 18)
            return std::nullopt;
        id = id * 10 + (head[i] - '0');
    }
    if (digits == 0)
        return std::nullopt;
    return id;
}

} // namespace

DevToolsSession::DevToolsSession(std::unique_ptr<Transport> transport, WaitClock& clock)
    : m_transport(std::move(transport)), m_clock(clock)
{}

std::int64_t DevToolsSession::send(const Request& request, Deadline deadline)
{
    if (!alive())
        throw Error(request.member, "the browser is gone");
    const std::int64_t id = m_nextId++;
    json message = {{"id", id}, {"method", request.method}, {"params", request.params}};
    if (!request.sessionId.empty())
        message["sessionId"] = request.sessionId;
    // Text from pages may hold bytes that are not UTF-8; they are replaced, not refused.
    const std::string text = message.dump(-1, ' ', false, json::error_handler_t::replace);
    if (!m_transport->send(text, deadline))
        throw Error(request.member, "the browser is gone");
    m_lastSentBytes = text.size();
    return id;
}

std::int64_t DevToolsSession::post(const Request& request)
{
    // Nothing more goes to a browser that is not reading: its pipe would fill.
    if (m_silent)
        return 0;
    try {
        return send(request, m_clock.now() + request.timeout);
    } catch (const Error&) {
        return 0;
    }
}

json DevToolsSession::call(const Request& request)
{
    if (browserSilent())
        throw Error(request.member, "the browser does not answer");
    const Deadline deadline = m_clock.now() + request.timeout;
    const std::int64_t id = send(request, deadline);
    ++m_roundTrips;
    std::string text;
    for (;;) {
        json answer;
        Incoming incoming = Incoming::Other;
        switch (m_transport->receive(text, deadline)) {
        case ReceiveResult::Timeout:
            m_overdue[id] = request.sessionId;
            if (request.sessionId.empty())
                fallSilent(request.member);
            throw DeadlineExceeded(request.member, id,
                                   request.method + " got no answer within " +
                                       std::to_string(request.timeout.count()) + " ms");
        case ReceiveResult::Closed:
            throw Error(request.member, "the browser is gone");
        case ReceiveResult::Oversized:
            incoming = dispatchRefused(text, id);
            break;
        case ReceiveResult::Message:
            incoming = dispatch(text, id, answer);
            break;
        }
        if (incoming == Incoming::Other)
            continue;
        if (incoming == Incoming::RefusedAnswer)
            throw Error(request.member,
                        request.method + " answered with more than the program reads");
        return resultOf(request.member, request.method, answer);
    }
}

json DevToolsSession::resultOf(const std::string& member, const std::string& method,
                               const json& answer)
{
    if (answer.contains("error")) {
        std::string reason = method;
        const std::string message = checked::textAt(checked::at(answer, "error"), "message", 1024);
        if (!message.empty())
            reason += ": " + message;
        throw Error(member, reason);
    }
    return checked::objectAt(answer, "result");
}

DevToolsSession::Posted DevToolsSession::postKept(const Request& request)
{
    Posted posted{post(request), request.member, request.method, request.sessionId};
    if (posted.id != 0) {
        m_keep[posted.id] = m_lastSentBytes;
        m_keptBytes += m_lastSentBytes;
    }
    return posted;
}

std::vector<DevToolsSession::Answer> DevToolsSession::collect(const std::vector<Posted>& posted,
                                                              Deadline deadline)
{
    const auto waiting = [&] {
        return std::any_of(posted.begin(), posted.end(),
                           [&](const Posted& one) { return m_keep.count(one.id) != 0; });
    };
    if (waiting())
        ++m_roundTrips;
    std::string text;
    json unused;
    bool open = true;
    while (open && waiting()) {
        switch (m_transport->receive(text, deadline)) {
        case ReceiveResult::Message:
            dispatch(text, 0, unused);
            break;
        case ReceiveResult::Oversized:
            dispatchRefused(text, 0);
            break;
        case ReceiveResult::Timeout:
        case ReceiveResult::Closed:
            open = false;
            break;
        }
    }

    std::vector<Answer> answers(posted.size());
    for (std::size_t i = 0; i < posted.size(); ++i) {
        const Posted& one = posted[i];
        Answer& answer = answers[i];
        if (const auto kept = m_kept.find(one.id); one.id != 0 && kept != m_kept.end()) {
            try {
                answer.result = resultOf(one.member, one.method, kept->second);
            } catch (const Error& error) {
                answer.error = error.what();
            }
            m_kept.erase(kept);
        } else if (one.id == 0 || !alive()) {
            answer.error = "the browser is gone";
        } else if (unkeep(one.id)) {
            // Unanswered in time: overdue like a call that timed out, and a silent
            // browser is taken for stopped.
            m_overdue[one.id] = one.sessionId;
            if (one.sessionId.empty())
                fallSilent(one.member);
            answer.error = one.method + " got no answer in time";
        } else {
            answer.error = one.method + " was collected twice";
        }
    }
    return answers;
}

std::optional<DevToolsSession::Answer> DevToolsSession::takeAnswer(const Posted& posted)
{
    Answer answer;
    if (const auto kept = m_kept.find(posted.id); posted.id != 0 && kept != m_kept.end()) {
        try {
            answer.result = resultOf(posted.member, posted.method, kept->second);
        } catch (const Error& error) {
            answer.error = error.what();
        }
        m_kept.erase(kept);
    } else if (posted.id == 0 || !alive()) {
        unkeep(posted.id);
        answer.error = "the browser is gone";
    } else if (m_keep.count(posted.id) != 0) {
        return std::nullopt;
    } else {
        answer.error = posted.method + " was taken twice";
    }
    // Each request read this way is one round trip, however many went together.
    ++m_roundTrips;
    return answer;
}

void DevToolsSession::abandon(const Posted& posted)
{
    if (unkeep(posted.id)) {
        m_overdue[posted.id] = posted.sessionId;
        ++m_roundTrips;
    }
    m_kept.erase(posted.id);
}

void DevToolsSession::pump()
{
    std::string text;
    json unused;
    for (;;) {
        switch (m_transport->receive(text, m_clock.now())) {
        case ReceiveResult::Message:
            dispatch(text, 0, unused);
            continue;
        case ReceiveResult::Oversized:
            dispatchRefused(text, 0);
            continue;
        case ReceiveResult::Timeout:
        case ReceiveResult::Closed:
            return;
        }
    }
}

DevToolsSession::Incoming DevToolsSession::dispatch(std::string_view text, std::int64_t waitingFor,
                                                    json& answer)
{
    // Nested past reason: refused unread, like a message too long.
    if (!checked::nestsWithin(text, limits::kMaxJsonDepth))
        return dispatchRefused(text.substr(0, kRefusedHead), waitingFor);
    json message = json::parse(text, nullptr, false);
    if (message.is_discarded())
        message = json::parse(checked::repairJsonText(text), nullptr, false);
    // A message that is not JSON is passed over; the ones after it still count.
    if (!message.is_object())
        return Incoming::Other;
    const auto id = message.find("id");
    if (id != message.end()) {
        const auto number = checked::integer(*id, 1, std::numeric_limits<std::int64_t>::max());
        if (!number)
            return Incoming::Other;
        answered(*number);
        if (unkeep(*number)) {
            m_kept[*number] = std::move(message);
            return Incoming::Other;
        }
        if (*number != waitingFor || waitingFor == 0)
            return Incoming::Other;
        answer = std::move(message);
        return Incoming::Answer;
    }
    if (message.contains("method")) {
        m_eventBytes += text.size();
        m_events.push_back({std::move(message), text.size()});
        while (m_events.size() > kMaxEvents || m_eventBytes > kMaxEventBytes) {
            m_eventBytes -= m_events.front().bytes;
            m_events.pop_front();
        }
    }
    return Incoming::Other;
}

DevToolsSession::Incoming DevToolsSession::dispatchRefused(std::string_view head,
                                                           std::int64_t waitingFor)
{
    // An event, or an answer that does not say whose, is simply dropped.
    const auto id = leadingId(head);
    if (!id)
        return Incoming::Other;
    answered(*id);
    if (unkeep(*id)) {
        m_kept[*id] = {{"error", {{"message", "answered with more than the program reads"}}}};
        return Incoming::Other;
    }
    return *id == waitingFor && waitingFor != 0 ? Incoming::RefusedAnswer : Incoming::Other;
}

bool DevToolsSession::unkeep(std::int64_t id)
{
    const auto it = m_keep.find(id);
    if (it == m_keep.end())
        return false;
    m_keptBytes -= it->second;
    m_keep.erase(it);
    return true;
}

void DevToolsSession::answered(std::int64_t id)
{
    const auto late = m_overdue.find(id);
    const bool fromBrowser = id == m_probe || (late != m_overdue.end() && late->second.empty());
    if (late != m_overdue.end())
        m_overdue.erase(late);
    if (id == m_probe)
        m_probe = 0;
    if (m_silent && fromBrowser)
        m_silent = false;
}

void DevToolsSession::fallSilent(const std::string& member)
{
    if (m_silent)
        return;
    m_silent = true;
    // One cheap request that the browser answers at once when it runs at all: its
    // answer says the browser is back even if the late one never comes.
    try {
        m_probe = send({member, "Browser.getVersion", json::object(), {}, {}},
                       m_clock.now() + std::chrono::milliseconds(100));
    } catch (const Error&) {
        m_probe = 0;
    }
}

bool DevToolsSession::browserSilent()
{
    if (m_silent)
        pump();
    return m_silent;
}

void DevToolsSession::checkBrowser(const std::string& member, std::chrono::milliseconds timeout)
{
    try {
        call({member, "Browser.getVersion", json::object(), {}, timeout});
    } catch (const Error&) {
        // A browser that did not answer in time is now taken for stopped.
    }
}

json DevToolsSession::nextEvent()
{
    if (m_events.empty())
        return nullptr;
    json event = std::move(m_events.front().message);
    m_eventBytes -= m_events.front().bytes;
    m_events.pop_front();
    return event;
}

int DevToolsSession::overdue(const std::string& sessionId) const
{
    int count = 0;
    for (const auto& [id, session] : m_overdue) {
        if (session == sessionId)
            ++count;
    }
    return count;
}

void DevToolsSession::forgetSession(const std::string& sessionId)
{
    for (auto it = m_overdue.begin(); it != m_overdue.end();) {
        if (it->second == sessionId)
            it = m_overdue.erase(it);
        else
            ++it;
    }
}

} // namespace automation::chromium
