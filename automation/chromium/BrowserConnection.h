#pragma once

#include "automation/chromium/ChromiumProcess.h"
#include "automation/chromium/ChromiumSettings.h"
#include "automation/chromium/DevToolsSession.h"
#include "automation/chromium/ProtocolEvents.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace automation::chromium {

// The connection to one browser: starting it (or attaching to one already running),
// setting the protocol up, and letting it go when it is lost. Every call to the
// browser goes through here, so a lost connection is noticed in one place, and the
// events that came with an answer are read and handed on as soon as it is taken.
class BrowserConnection
{
public:
    // The clock measures every deadline and must outlive the connection.
    BrowserConnection(ChromiumSettings settings, WaitClock& clock);
    ~BrowserConnection();
    BrowserConnection(const BrowserConnection&) = delete;
    BrowserConnection& operator=(const BrowserConnection&) = delete;

    // Told of every event the program follows, in order of arrival.
    void onEvent(std::function<void(const BrowserEvent&)> listener);
    // Told when the browser is lost: everything known of it is void.
    void onLost(std::function<void()> listener);

    const ChromiumSettings& settings() const { return m_settings; }
    WaitClock& clock() { return m_clock; }

    // Whether a browser is connected now (a connection already known to be lost is let
    // go here).
    bool connected();
    // Counts connections: objects of an earlier browser fail at once.
    std::uint64_t generation() const { return m_generation; }
    // Starts (or attaches to) the browser when none is connected.
    void ensureBrowser(const std::string& member);
    // When attaching to a running browser: tries to connect, at most every few
    // seconds; true when connected.
    bool tryAttach();
    // Connects over a transport already open to a browser started elsewhere.
    void connectTransport(std::unique_ptr<Transport> transport);
    // Lets the browser go (the one the program started is ended).
    void disconnect() { lost(); }
    // The process id of the browser the program started, 0 when none.
    int browserProcessId() const { return m_process ? static_cast<int>(m_process->pid()) : 0; }
    // True once after the program started the browser: it still shows the one blank
    // tab it opens by itself.
    bool takeFreshStart() { return std::exchange(m_fresh, false); }

    // The protocol session; raises Error(member) without a browser.
    DevToolsSession& session(const std::string& member);
    // Runs work(session); events that arrived meanwhile are taken in after it. A
    // failure that lost the connection lets the browser go before it is passed on.
    template <typename Work> auto guarded(const std::string& member, Work&& work);
    // A call to the browser itself, within the browser's time limit.
    nlohmann::json browserCall(const std::string& member, const std::string& method,
                               nlohmann::json params = nlohmann::json::object());
    // A call as it is, guarded.
    nlohmann::json call(const DevToolsSession::Request& request);
    // Sends without waiting for the answer (which is dropped); 0 when not sent.
    std::int64_t post(const DevToolsSession::Request& request);
    // Sends without waiting and keeps the answer for collect(); not sent without a
    // browser.
    DevToolsSession::Posted postKept(const DevToolsSession::Request& request);
    // The answers of requests posted with postKept(), awaited together until the
    // deadline; each failure is its answer's error, never raised.
    std::vector<DevToolsSession::Answer> collect(const std::vector<DevToolsSession::Posted>& posted,
                                                 Deadline deadline);
    // Takes in the events that have arrived, without waiting.
    void takeEvents();

    // Protocol requests that waited for an answer, over every connection so far.
    std::int64_t roundTrips() const;

private:
    void connect(std::unique_ptr<Transport> transport, std::chrono::milliseconds firstAnswer);
    void lost();
    void deliverEvents();

    ChromiumSettings m_settings;
    WaitClock& m_clock;
    std::unique_ptr<ChromiumProcess> m_process;
    std::unique_ptr<DevToolsSession> m_session;
    std::uint64_t m_generation = 0;
    std::int64_t m_pastRoundTrips = 0;
    bool m_fresh = false;
    std::optional<WaitClock::TimePoint> m_lastAttachTry;
    std::function<void(const BrowserEvent&)> m_onEvent;
    std::function<void()> m_onLost;
};

template <typename Work> auto BrowserConnection::guarded(const std::string& member, Work&& work)
{
    DevToolsSession& s = session(member);
    try {
        if constexpr (std::is_void_v<decltype(work(s))>) {
            work(s);
            deliverEvents();
        } else {
            auto result = work(s);
            deliverEvents();
            return result;
        }
    } catch (const Error&) {
        if (m_session && !m_session->alive())
            lost();
        throw;
    }
}

} // namespace automation::chromium
