#include "automation/chromium/DevToolsSession.h"

namespace automation::chromium {

using nlohmann::json;

DevToolsSession::DevToolsSession(std::unique_ptr<Transport> transport)
    : m_transport(std::move(transport))
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
    return id;
}

std::int64_t DevToolsSession::post(const Request& request)
{
    try {
        return send(request, std::chrono::steady_clock::now() + request.timeout);
    } catch (const Error&) {
        return 0;
    }
}

json DevToolsSession::call(const Request& request)
{
    const Deadline deadline = std::chrono::steady_clock::now() + request.timeout;
    const std::int64_t id = send(request, deadline);
    ++m_roundTrips;
    std::string text;
    for (;;) {
        switch (m_transport->receive(text, deadline)) {
        case ReceiveResult::Timeout:
            m_overdue[id] = request.sessionId;
            throw DeadlineExceeded(request.member, id,
                                   request.method + " got no answer within " +
                                       std::to_string(request.timeout.count()) + " ms");
        case ReceiveResult::Closed:
            throw Error(request.member, "the browser is gone");
        case ReceiveResult::Message:
            break;
        }
        json answer;
        if (!dispatch(text, id, answer))
            continue;
        if (answer.contains("error")) {
            const json& error = answer["error"];
            std::string reason = request.method;
            if (error.is_object() && error.contains("message") && error["message"].is_string())
                reason += ": " + error["message"].get<std::string>();
            throw Error(request.member, reason);
        }
        const auto result = answer.find("result");
        return result != answer.end() && result->is_object() ? *result : json::object();
    }
}

void DevToolsSession::pump()
{
    std::string text;
    json unused;
    while (m_transport->receive(text, std::chrono::steady_clock::now()) == ReceiveResult::Message)
        dispatch(text, 0, unused);
}

bool DevToolsSession::dispatch(std::string_view text, std::int64_t waitingFor, json& answer)
{
    json message = json::parse(text, nullptr, false);
    // A message that is not JSON is passed over; the ones after it still count.
    if (!message.is_object())
        return false;
    const auto id = message.find("id");
    if (id != message.end()) {
        if (!id->is_number_integer())
            return false;
        const std::int64_t number = id->get<std::int64_t>();
        m_overdue.erase(number);
        if (number != waitingFor || waitingFor == 0)
            return false;
        answer = std::move(message);
        return true;
    }
    if (message.contains("method")) {
        if (m_events.size() >= kMaxEvents)
            m_events.pop_front();
        m_events.push_back(std::move(message));
    }
    return false;
}

json DevToolsSession::nextEvent()
{
    if (m_events.empty())
        return nullptr;
    json event = std::move(m_events.front());
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
