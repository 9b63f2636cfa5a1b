#pragma once

#include "automation/chromium/Transport.h"

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
// writes answers to 4, and dies with the program.
class ChromiumProcess
{
public:
    // Starts the browser; raises automation::Error("createBrowser") when it cannot be
    // started. The transport is handed out once through takeTransport.
    static std::unique_ptr<ChromiumProcess> start(const LaunchOptions& options);
    ~ChromiumProcess();
    ChromiumProcess(const ChromiumProcess&) = delete;
    ChromiumProcess& operator=(const ChromiumProcess&) = delete;

    std::unique_ptr<Transport> takeTransport() { return std::move(m_transport); }
    pid_t pid() const { return m_pid; }
    // Whether the process has ended (it is then reaped).
    bool exited();
    // Asks the process to end, waits up to waitMs, then kills it.
    void stop(int waitMs);

    // The argument vector the browser is started with.
    static std::vector<std::string> arguments(const LaunchOptions& options, bool root);

private:
    ChromiumProcess(pid_t pid, std::unique_ptr<Transport> transport)
        : m_pid(pid), m_transport(std::move(transport))
    {}

    pid_t m_pid;
    bool m_reaped = false;
    std::unique_ptr<Transport> m_transport;
};

// Makes the folder and every missing parent; false when it cannot be made.
bool makeFolders(const std::string& path);

} // namespace automation::chromium
