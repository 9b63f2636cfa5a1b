#pragma once

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/Transport.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

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
//
// A browser that lets a call of its own run out of time is taken for stopped: from
// then on every call fails at once, without waiting, until the browser answers again
// (the late answer arrives, or the probe sent when it fell silent is answered).
// Everything a page answers passes through the browser, so page calls fail at once
// too. A stopped browser thus costs one deadline, not one per call.
class DevToolsSession
{
public:
    // Deadlines are moments of the clock, which must outlive the session (the
    // transport's waits read the same clock).
    explicit DevToolsSession(std::unique_ptr<Transport> transport,
                             WaitClock& clock = WaitClock::steady());

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

    // A request sent with post() whose answer is kept for collect(). An id of 0 was
    // never sent.
    struct Posted
    {
        std::int64_t id = 0;
        std::string member;
        std::string method;
        std::string sessionId;
    };
    // What one of several requests awaited together came to: its result, or the error
    // call() would have raised for it.
    struct Answer
    {
        nlohmann::json result;
        // Why it failed, as call() would have raised it; empty when it was answered.
        std::optional<std::string> error;
    };
    // Sends the request without waiting and keeps its answer until it is collected.
    Posted postKept(const Request& request);
    // Waits until every posted request is answered or the deadline passes, as one round
    // trip; the answers in the order given. A request left unanswered is overdue, as a
    // call that ran out of time is.
    std::vector<Answer> collect(const std::vector<Posted>& posted, Deadline deadline);
    // The answer to a posted request once it has come, without waiting (reading what
    // has arrived is pump's); nothing while it has not. A request never sent, or one
    // whose browser is gone, is answered with that error.
    std::optional<Answer> takeAnswer(const Posted& posted);
    // A posted request that is no longer waited for: it counts as overdue until its
    // late answer comes, as a call that ran out of time does, but the browser is not
    // taken for stopped for it.
    void abandon(const Posted& posted);
    // Bytes of the posted requests still awaited: what may still sit in the pipe.
    std::size_t keptBytes() const { return m_keptBytes; }

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

    // Whether the browser is taken for stopped (reading what has arrived first).
    bool browserSilent();
    // Waits up to timeout for the browser itself to answer a cheap call; a browser that
    // does not is taken for stopped. For telling a hung page from a stopped browser.
    void checkBrowser(const std::string& member, std::chrono::milliseconds timeout);

    // Events kept beyond this many, or beyond this many bytes of text together, are
    // dropped, oldest first.
    static constexpr std::size_t kMaxEvents = 10000;
    static constexpr std::size_t kMaxEventBytes = limits::kMaxMessage;

private:
    std::int64_t send(const Request& request, Deadline deadline);
    // What an incoming message is to the request waited for.
    enum class Incoming
    {
        Other,
        Answer,
        // Its answer, refused for its size or nesting.
        RefusedAnswer
    };
    // Handles one incoming message; its parsed answer when it answers `waitingFor`.
    Incoming dispatch(std::string_view text, std::int64_t waitingFor, nlohmann::json& answer);
    // Handles the head of a refused message.
    Incoming dispatchRefused(std::string_view head, std::int64_t waitingFor);
    // An answer to request id came: what waited for it is settled.
    void answered(std::int64_t id);
    // The result of a call's answer; raises for an answer that reports an error.
    static nlohmann::json resultOf(const std::string& member, const std::string& method,
                                   const nlohmann::json& answer);
    void fallSilent(const std::string& member);
    // A posted request is no longer awaited; true when it was.
    bool unkeep(std::int64_t id);

    std::unique_ptr<Transport> m_transport;
    WaitClock& m_clock;
    std::int64_t m_nextId = 1;
    std::int64_t m_roundTrips = 0;
    struct Event
    {
        nlohmann::json message;
        std::size_t bytes = 0;
    };
    std::deque<Event> m_events;
    std::size_t m_eventBytes = 0;
    std::map<std::int64_t, std::string> m_overdue; // request id -> session id
    bool m_silent = false;
    std::int64_t m_probe = 0;
    // Posted requests whose answers are kept, and the answers kept so far.
    std::map<std::int64_t, std::size_t> m_keep; // request id -> bytes sent
    std::size_t m_keptBytes = 0;
    std::size_t m_lastSentBytes = 0;
    std::map<std::int64_t, nlohmann::json> m_kept;
};

} // namespace automation::chromium
