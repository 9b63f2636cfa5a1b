#include "automation/chromium/BrowserConnection.h"

#include "automation/Error.h"
#include "automation/chromium/WebSocketTransport.h"

namespace automation::chromium {

using nlohmann::json;

namespace {

// Tabs and cross-site frames; the browser's own pages (omnibox and such) are no
// business of the program.
const json kTargetFilter = json::array({{{"type", "page"}, {"exclude", false}},
                                        {{"type", "iframe"}, {"exclude", false}},
                                        {{"exclude", true}}});

// How long a browser the program started is given to end when the connection is lost.
constexpr std::chrono::milliseconds kStopGrace{500};

} // namespace

BrowserConnection::BrowserConnection(ChromiumSettings settings, WaitClock& clock)
    : m_settings(std::move(settings)), m_clock(clock)
{}

BrowserConnection::~BrowserConnection()
{
    // The listeners belong to the owner, which is going too.
    m_onLost = nullptr;
    lost();
}

void BrowserConnection::onEvent(std::function<void(const BrowserEvent&)> listener)
{
    m_onEvent = std::move(listener);
}

void BrowserConnection::onLost(std::function<void()> listener)
{
    m_onLost = std::move(listener);
}

std::int64_t BrowserConnection::roundTrips() const
{
    return m_pastRoundTrips + (m_session ? m_session->roundTrips() : 0);
}

bool BrowserConnection::connected()
{
    // Every call reads what has arrived; here only a connection already known to be
    // lost is let go.
    if (!m_session)
        return false;
    if (!m_session->alive())
        lost();
    return m_session != nullptr;
}

void BrowserConnection::lost()
{
    if (m_session) {
        m_pastRoundTrips += m_session->roundTrips();
        m_session->close();
    }
    m_session.reset();
    if (m_process)
        m_process->stop(kStopGrace);
    m_process.reset();
    m_fresh = false;
    ++m_generation;
    if (m_onLost)
        m_onLost();
}

void BrowserConnection::connect(std::unique_ptr<Transport> transport,
                                std::chrono::milliseconds firstAnswer)
{
    m_session = std::make_unique<DevToolsSession>(std::move(transport), m_clock);
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
    deliverEvents();
}

void BrowserConnection::ensureBrowser(const std::string& member)
{
    if (connected())
        return;
    if (!m_settings.devtoolsUrl.empty()) {
        const Deadline deadline = m_clock.now() + m_settings.browserTimeout;
        try {
            connect(connectWebSocket(m_settings.devtoolsUrl, deadline, m_clock),
                    m_settings.browserTimeout);
        } catch (const Error& error) {
            throw Error(member, error.what());
        }
        return;
    }
    auto process = ChromiumProcess::start(m_settings.launch, m_clock);
    auto transport = process->takeTransport();
    m_process = std::move(process);
    try {
        connect(std::move(transport), m_settings.startTimeout);
    } catch (const Error& error) {
        throw Error(member, error.what());
    }
    m_fresh = true;
}

void BrowserConnection::connectTransport(std::unique_ptr<Transport> transport)
{
    lost();
    connect(std::move(transport), m_settings.browserTimeout);
}

bool BrowserConnection::tryAttach()
{
    if (connected())
        return true;
    if (m_settings.devtoolsUrl.empty())
        return false;
    const auto now = m_clock.now();
    if (m_lastAttachTry && now - *m_lastAttachTry < std::chrono::seconds(5))
        return false;
    m_lastAttachTry = now;
    try {
        ensureBrowser("windows");
    } catch (const Error&) {
        return false;
    }
    return true;
}

DevToolsSession& BrowserConnection::session(const std::string& member)
{
    if (!connected())
        throw Error(member, "the browser is gone");
    return *m_session;
}

json BrowserConnection::call(const DevToolsSession::Request& request)
{
    return guarded(request.member, [&](DevToolsSession& s) { return s.call(request); });
}

json BrowserConnection::browserCall(const std::string& member, const std::string& method,
                                    json params)
{
    return call({member, method, std::move(params), {}, m_settings.browserTimeout});
}

std::int64_t BrowserConnection::post(const DevToolsSession::Request& request)
{
    return m_session ? m_session->post(request) : 0;
}

DevToolsSession::Posted BrowserConnection::postKept(const DevToolsSession::Request& request)
{
    if (!m_session)
        return {0, request.member, request.method, request.sessionId};
    return m_session->postKept(request);
}

std::vector<DevToolsSession::Answer>
BrowserConnection::collect(const std::vector<DevToolsSession::Posted>& posted, Deadline deadline)
{
    if (!m_session) {
        std::vector<DevToolsSession::Answer> answers(posted.size());
        for (DevToolsSession::Answer& answer : answers)
            answer.error = "the browser is gone";
        return answers;
    }
    auto answers = m_session->collect(posted, deadline);
    deliverEvents();
    if (m_session && !m_session->alive())
        lost();
    return answers;
}

void BrowserConnection::takeEvents()
{
    if (!m_session)
        return;
    m_session->pump();
    deliverEvents();
    if (m_session && !m_session->alive())
        lost();
}

void BrowserConnection::deliverEvents()
{
    while (m_session && m_session->hasEvents()) {
        const auto event = readEvent(m_session->nextEvent());
        if (!event)
            continue;
        // Late answers on a session that has gone never come.
        if (const auto* detached = std::get_if<DetachedFromTarget>(&*event))
            m_session->forgetSession(detached->sessionId);
        if (m_onEvent)
            m_onEvent(*event);
    }
}

} // namespace automation::chromium
