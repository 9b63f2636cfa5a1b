#pragma once

#include "automation/chromium/Transport.h"
#include "automation/local/Process.h"

#include <chrono>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace automation::chromium {

// How to start the browser.
struct LaunchOptions
{
    std::string executable = "/usr/lib/chromium/chromium";
    // The browser's own profile folder; made when missing.
    std::string profileDir;
    // Added after the fixed flags, before the first page.
    std::vector<std::string> extraArgs;
};

// A browser the program started: it reads requests from its descriptor 3 and
// writes answers to 4, and dies with the program (with the thread that started it).
class ChromiumProcess
{
public:
    // Starts the browser; raises automation::Error("createBrowser") when it cannot be
    // started. The transport, whose waits the clock measures, is handed out once
    // through takeTransport.
    static std::unique_ptr<ChromiumProcess> start(const LaunchOptions& options, WaitClock& clock);
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    std::unique_ptr<Transport> takeTransport() { return std::move(m_transport); }
    pid_t pid() const { return m_process.pid(); }
    // Whether the process has ended (it is then reaped).
    bool exited() { return !m_process.running(); }
    // Asks the process to end, gives it up to grace, then kills it.
    void stop(std::chrono::milliseconds grace);

    // The argument vector the browser is started with.
    static std::vector<std::string> arguments(const LaunchOptions& options, bool root);

private:
    ChromiumProcess(Process process, std::unique_ptr<Transport> transport, WaitClock& clock)
        : m_process(std::move(process)), m_transport(std::move(transport)), m_clock(clock)
    {}

    Process m_process;
    std::unique_ptr<Transport> m_transport;
    WaitClock& m_clock;
};

} // namespace automation::chromium
