#include "automation/local/Process.h"

#include "automation/local/UniqueFd.h"
#include "tests/chromium/FakeClock.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <system_error>
#include <unistd.h>

namespace automation {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Everything written to the pipe until its last writer closes it.
std::string readAll(UniqueFd& fd)
{
    std::string text;
    char chunk[256];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return text;
        text.append(chunk, static_cast<std::size_t>(n));
    }
}

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

int startError(const SpawnOptions& options)
{
    try {
        Process::spawn(options);
    } catch (const std::system_error& error) {
        return error.code().value();
    }
    return 0;
}

int startError(std::vector<std::string> argv)
{
    SpawnOptions options;
    options.argv = std::move(argv);
    return startError(options);
}

TEST(Process, TheChildGetsItsDescriptorsEnvironmentAndFolderAndNothingElse)
{
    auto out = makePipe();
    ASSERT_TRUE(out);
    // A descriptor the program left inheritable must not reach the child.
    UniqueFd stray(::dup(out->write.get()));
    ASSERT_TRUE(stray);
    const fs::path folder = fs::temp_directory_path();

    SpawnOptions options;
    options.argv = {"sh", "-c",
                    "echo \"$ONLY\" \"$HOME\" \"$(pwd -P)\" >&3; "
                    "if [ -e /proc/$$/fd/" +
                        std::to_string(stray.get()) + " ]; then echo leaked >&3; fi"};
    options.environment = std::vector<std::string>{"ONLY=this one", "PATH=/usr/bin:/bin"};
    options.descriptors = {{3, out->write.get()}};
    options.quiet = true;
    options.workingDir = folder.string();
    Process child = Process::spawn(options);
    // Ours hold the pipe open: they go before it is read to the end.
    out->write.reset();
    stray.reset();
    EXPECT_EQ(readAll(out->read), "this one  " + fs::canonical(folder).string() + "\n");
    const auto ended = child.waitFor(10s);
    ASSERT_TRUE(ended);
    EXPECT_TRUE(ended->success());
}

TEST(Process, WhatCannotBeStartedRaisesWithTheReason)
{
    const fs::path folder =
        fs::temp_directory_path() / ("tabulon-process-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    std::ofstream(folder / "plain.txt") << "not a program";

    EXPECT_EQ(startError(std::vector<std::string>{}), EINVAL);
    EXPECT_EQ(startError({""}), EINVAL);
    EXPECT_EQ(startError({"tabulon-no-such-program-anywhere"}), ENOENT);
    EXPECT_EQ(startError({(folder / "no-such-program").string()}), ENOENT);
    EXPECT_EQ(startError({(folder / "plain.txt").string()}), EACCES);
    EXPECT_EQ(startError({std::string("/bin/true\0x", 11)}), EINVAL);
    SpawnOptions elsewhere;
    elsewhere.argv = {"/bin/true"};
    elsewhere.workingDir = (folder / "no-such-folder").string();
    EXPECT_EQ(startError(elsewhere), ENOENT);
    fs::remove_all(folder);
}

TEST(Process, AWaitRunsOutOnItsClockAndTheExitIsReported)
{
    SpawnOptions options;
    options.argv = {"sleep", "30"};
    Process sleeper = Process::spawn(options);
    FakeClock clock;
    const auto start = clock.now();
    EXPECT_EQ(sleeper.waitFor(5s, clock), std::nullopt);
    EXPECT_EQ(clock.now() - start, 5s);
    EXPECT_TRUE(sleeper.running());
    const ExitStatus ended = sleeper.terminate(1s);
    EXPECT_EQ(ended.signal, SIGTERM);
    EXPECT_FALSE(sleeper.running());
    EXPECT_FALSE(sleeper.signal(SIGTERM));

    options.argv = {"sh", "-c", "exit 3"};
    Process failing = Process::spawn(options);
    const auto status = failing.waitFor(10s);
    ASSERT_TRUE(status);
    EXPECT_EQ(status->code, 3);
    EXPECT_FALSE(status->success());
}

TEST(Process, AChildThatIgnoresTheRequestIsKilledAfterTheGrace)
{
    auto ready = makePipe();
    ASSERT_TRUE(ready);
    SpawnOptions options;
    // An ignored signal stays ignored across exec.
    options.argv = {"sh", "-c", "trap '' TERM; echo ready; exec sleep 30"};
    options.descriptors = {{1, ready->write.get()}};
    Process stubborn = Process::spawn(options);
    ready->write.reset();
    char c = 0;
    ASSERT_EQ(::read(ready->read.get(), &c, 1), 1);

    FakeClock clock;
    const auto start = clock.now();
    EXPECT_EQ(stubborn.terminate(2s, clock).signal, SIGKILL);
    EXPECT_EQ(clock.now() - start, 2s);
}

TEST(Process, AChildStillRunningIsEndedWhenItsProcessGoes)
{
    pid_t pid = 0;
    {
        SpawnOptions options;
        options.argv = {"sleep", "30"};
        Process sleeper = Process::spawn(options);
        pid = sleeper.pid();
        ASSERT_GT(pid, 0);
        Process moved = std::move(sleeper);
        EXPECT_EQ(sleeper.pid(), 0); // NOLINT(bugprone-use-after-move): what a move leaves
        EXPECT_EQ(moved.pid(), pid);
    }
    // Ended and reaped: the number names no process of ours any more.
    EXPECT_EQ(::kill(pid, 0), -1);
    EXPECT_EQ(errno, ESRCH);
}

TEST(UniqueFd, ClosesWhatItOwnsAndGivesUpWhatItReleases)
{
    auto ends = makePipe();
    ASSERT_TRUE(ends);
    const int read = ends->read.get();
    const int write = ends->write.get();
    EXPECT_EQ(::fcntl(read, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);
    {
        UniqueFd moved = std::move(ends->read);
        EXPECT_FALSE(ends->read);
        EXPECT_TRUE(isOpen(read));
    }
    EXPECT_FALSE(isOpen(read));

    const int kept = ends->write.release();
    EXPECT_EQ(kept, write);
    ends.reset();
    EXPECT_TRUE(isOpen(write));
    UniqueFd again(kept);
    EXPECT_TRUE(again.close());
    EXPECT_FALSE(isOpen(write));
    EXPECT_FALSE(again);
}

} // namespace
} // namespace automation
