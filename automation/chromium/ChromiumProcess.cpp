#include "automation/chromium/ChromiumProcess.h"

#include "automation/Error.h"
#include "automation/chromium/PipeTransport.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace automation::chromium {

std::vector<std::string> ChromiumProcess::arguments(const LaunchOptions& options, bool root)
{
    std::vector<std::string> args = {options.executable,
                                     "--remote-debugging-pipe",
                                     "--test-type",
                                     "--no-first-run",
                                     "--no-default-browser-check",
                                     "--disable-background-networking",
                                     "--disable-component-update",
                                     "--disable-sync",
                                     "--user-data-dir=" + options.profileDir};
    if (root)
        args.emplace_back("--no-sandbox");
    args.insert(args.end(), options.extraArgs.begin(), options.extraArgs.end());
    args.emplace_back("about:blank");
    return args;
}

std::unique_ptr<ChromiumProcess> ChromiumProcess::start(const LaunchOptions& options,
                                                        WaitClock& clock)
{
    ignoreSigpipe();
    if (::access(options.executable.c_str(), X_OK) != 0)
        throw Error("createBrowser", "Chromium is missing: no executable at " + options.executable);
    namespace fs = std::filesystem;
    std::error_code error;
    // The profile holds the user's cookies: a folder made for it is the user's alone.
    if (!options.profileDir.empty() && fs::create_directories(options.profileDir, error))
        fs::permissions(options.profileDir, fs::perms::owner_all, error);
    if (options.profileDir.empty() || !fs::is_directory(options.profileDir, error))
        throw Error("createBrowser", "cannot make the profile folder " + options.profileDir);

    auto toBrowser = makePipe();
    auto fromBrowser = makePipe();
    if (!toBrowser || !fromBrowser)
        throw Error("createBrowser", std::strerror(errno));
    SpawnOptions spawn;
    spawn.argv = arguments(options, ::geteuid() == 0);
    spawn.descriptors = {{3, toBrowser->read.get()}, {4, fromBrowser->write.get()}};
    // The browser talks a lot on standard error; the program's own stays quiet.
    spawn.quiet = true;
    spawn.parentDeathSignal = SIGTERM;
    Process process;
    try {
        process = Process::spawn(spawn);
    } catch (const std::system_error& failure) {
        throw Error("createBrowser", failure.what());
    }
    auto transport = std::make_unique<PipeTransport>(std::move(fromBrowser->read),
                                                     std::move(toBrowser->write), clock);
    return std::unique_ptr<ChromiumProcess>(
        new ChromiumProcess(std::move(process), std::move(transport), clock));
}

void ChromiumProcess::stop(std::chrono::milliseconds grace)
{
    m_process.terminate(grace, m_clock);
}

ChromiumProcess::~ChromiumProcess()
{
    m_transport.reset();
    stop(std::chrono::milliseconds(2000));
}

} // namespace automation::chromium
