#pragma once

#include "automation/Error.h"
#include "automation/chromium/Transport.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace automation::chromium {

// A call that got no answer in time. The request stays overdue until its late
// answer arrives, which is then dropped.
class DeadlineExceeded : public Error
{
public:
    DeadlineExceeded(std::string member, std::int64_t requestId, const std::string& reason)
        : Error(std::move(member), reason), m_requestId(requestId)
    {}

    std::int64_t requestId() const noexcept { return m_requestId; }

private:
    std::int64_t m_requestId;
};

// The DevTools protocol over one transport: numbers each request, pairs it with its
// answer, keeps the events that arrive meanwhile, and turns protocol errors, missed
// deadlines and a lost connection into automation::Error naming the member.
class DevToolsSession
{
public:
    explicit DevToolsSession(std::unique_ptr<Transport> transport);

    struct Request
    {
        // The automation member this call serves, named in every error.
        std::string member;
        std::string method;
        nlohmann::json params = nlohmann::json::object();
        // The attached target's session, empty for the browser itself.
        std::string sessionId;
        std::chrono::milliseconds timeout{2000};
    };

    // Sends the request and waits for its answer; returns the result object.
    nlohmann::json call(const Request& request);
    // Sends the request without waiting; its answer will be dropped. Returns its id,
    // 0 when it could not be sent.
    std::int64_t post(const Request& request);
    // Reads whatever has arrived without waiting, keeping events.
    void pump();

    // Whether the connection still stands; once it is lost every call fails at once.
    bool alive() const { return !m_transport->closed(); }
    void close() { m_transport->close(); }

    // The oldest event not yet taken, or null.
    nlohmann::json nextEvent();
    bool hasEvents() const { return !m_events.empty(); }

    // How many requests on this attached session are still waiting for a late answer.
    int overdue(const std::string& sessionId) const;
    // Forgets a request that ran out of time on purpose (its late answer is harmless).
    void forgetOverdue(std::int64_t requestId) { m_overdue.erase(requestId); }
    // Forgets every late answer of an attached session that has gone away.
    void forgetSession(const std::string& sessionId);

    // Requests that waited for their answer, since the session began.
    std::int64_t roundTrips() const { return m_roundTrips; }

    // Events kept beyond this many are dropped, oldest first.
    static constexpr std::size_t kMaxEvents = 10000;

private:
    std::int64_t send(const Request& request, Deadline deadline);
    // Handles one incoming message; true when it answers `waitingFor`.
    bool dispatch(std::string_view text, std::int64_t waitingFor, nlohmann::json& answer);

    std::unique_ptr<Transport> m_transport;
    std::int64_t m_nextId = 1;
    std::int64_t m_roundTrips = 0;
    std::deque<nlohmann::json> m_events;
    std::map<std::int64_t, std::string> m_overdue; // request id -> session id
};

} // namespace automation::chromium
