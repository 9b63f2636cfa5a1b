#pragma once

#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace automation::bridge {

// The first message a host sends Tabulon: which extension called it, and from which
// browser process and profile.
struct HostInfo
{
    // chrome-extension://ID/ (Chromium family) or the add-on's id (Firefox).
    std::optional<std::string> origin;
    pid_t browserPid = 0;
    // The browser's profile folder when its command line names one.
    std::optional<std::string> profile;
};

// What the browser passed the host: Chromium the caller's origin (then
// --parent-window=N), Firefox the host manifest's path and the add-on's id.
std::optional<std::string> originFromArguments(const std::vector<std::string>& args);

// The profile folder in a browser's command line: --user-data-dir (Chromium family),
// -profile or --profile (Firefox).
std::optional<std::string> profileFromCommandLine(const std::vector<std::string>& args);

// A process's command line from /proc; empty when it cannot be read.
std::vector<std::string> readCommandLine(pid_t pid);

// The message: {"type":"host","version":1,"origin":...,"browserPid":...,"profile":...}.
std::string hostMessage(const HostInfo& info);

// The message the host sends the extension when Tabulon comes or goes.
std::string tabulonMessage(bool connected);

// Whether a message from the extension is its greeting, {"type":"hello",...}: what the
// extension sends first once it hears that Tabulon came.
bool isHello(std::string_view message);

} // namespace automation::bridge
