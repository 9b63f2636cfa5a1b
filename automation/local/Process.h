#pragma once

#include "automation/local/UniqueFd.h"
#include "automation/local/WaitClock.h"

#include <chrono>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace automation {

// How to start a child process.
struct SpawnOptions
{
    // The program and its arguments, never read by a shell. A program named without a
    // slash is looked up on PATH.
    std::vector<std::string> argv;
    // The child's whole environment, NAME=value each; the program's own when not given.
    std::optional<std::vector<std::string>> environment;
    // A descriptor of the program that the child gets under another number.
    struct Descriptor
    {
        int inChild;
        int ours;
    };
    // The child's descriptors: these, and 0 to 2 unless quiet or named here. Every
    // other descriptor is closed in the child.
    std::vector<Descriptor> descriptors;
    // Standard input, output and error on /dev/null.
    bool quiet = false;
    // Started there; the program's own folder when empty.
    std::string workingDir;
    // In a session of its own, so that it outlives the program and its terminal.
    bool newSession = false;
    // Sent to the child when the thread that started it ends (the whole program, for
    // its main thread); 0 for none. Used for children that must not outlive us.
    int parentDeathSignal = 0;
};

// How a child process ended.
struct ExitStatus
{
    // Its exit code, -1 when a signal ended it.
    int code = -1;
    // The signal that ended it, 0 when it exited.
    int signal = 0;

    bool success() const { return signal == 0 && code == 0; }
};

// A child process of the program: waited for with a deadline, ended, or let go. The
// child is always reaped: a child still running when its Process goes is ended.
class Process
{
public:
    // Starts a child. Raises std::system_error with the reason when it cannot be
    // started (no such program, not executable, no such working folder).
    static Process spawn(const SpawnOptions& options);

    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // 0 when there is no child (never started, or let go).
    pid_t pid() const { return m_pid; }
    // Whether the child has not ended yet; an ended child is reaped.
    bool running();
    // How the child ended, once it has.
    const std::optional<ExitStatus>& status() const { return m_status; }

    // Waits until the child ends or the deadline of the clock passes; how it ended, or
    // nothing when it still runs.
    std::optional<ExitStatus> waitUntil(WaitClock::TimePoint deadline,
                                        WaitClock& clock = WaitClock::steady());
    std::optional<ExitStatus> waitFor(std::chrono::milliseconds span,
                                      WaitClock& clock = WaitClock::steady())
    {
        return waitUntil(clock.now() + span, clock);
    }
    // Asks the child to end (a stopped one is woken first), gives it up to grace,
    // then kills it; how it ended.
    ExitStatus terminate(std::chrono::milliseconds grace, WaitClock& clock = WaitClock::steady());
    // Sends a signal; false when the child is gone.
    bool signal(int number);
    // Lets the child go: it runs on unwatched and is reaped when it ends.
    void detach();

    // How long a child still running is given when its Process goes.
    static constexpr std::chrono::milliseconds kGraceOnDestruction{2000};

private:
    Process(pid_t pid, UniqueFd pidfd) : m_pid(pid), m_pidfd(std::move(pidfd)) {}
    // Reaps the child if it has ended; true when it has.
    bool reap(bool block);

    pid_t m_pid = 0;
    // Readable once the child ends: lets a wait with a deadline block on a descriptor.
    UniqueFd m_pidfd;
    std::optional<ExitStatus> m_status;
};

// The full path of a program found on PATH, "" when there is none. A name with a
// slash is taken as it is (when it names an executable file).
std::string findProgram(const std::string& name);

} // namespace automation
