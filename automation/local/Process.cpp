#include "automation/local/Process.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

extern char** environ;

namespace automation {

namespace {

bool isExecutableFile(const std::string& path)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

ExitStatus decode(int status)
{
    if (WIFEXITED(status))
        return {WEXITSTATUS(status), 0};
    if (WIFSIGNALED(status))
        return {-1, WTERMSIG(status)};
    return {};
}

std::vector<char*> pointersTo(const std::vector<std::string>& strings)
{
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const std::string& text : strings)
        pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

[[noreturn]] void failInChild(int errorFd)
{
    const int error = errno;
    while (::write(errorFd, &error, sizeof error) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// Everything the child needs, made before fork: after it only calls that are safe in
// the child of a threaded program.
struct ChildPlan
{
    std::string path;
    std::vector<char*> argv;
    char** envp = nullptr;
    std::vector<SpawnOptions::Descriptor> descriptors;
    int null = -1;
    // The lowest number above every descriptor the child is given.
    int free = 3;
    const SpawnOptions* options = nullptr;
    pid_t parent = 0;
};

[[noreturn]] void runChild(const ChildPlan& plan, int errorFd)
{
    const SpawnOptions& options = *plan.options;
    if (options.parentDeathSignal != 0) {
        ::prctl(PR_SET_PDEATHSIG, options.parentDeathSignal);
        // The parent may have gone before the signal was asked for.
        if (::getppid() != plan.parent)
            ::_exit(127);
    }
    if (options.newSession)
        ::setsid();
    // The program ignores SIGPIPE and may block signals; the child starts clean.
    struct sigaction defaults
    {
    };
    defaults.sa_handler = SIG_DFL;
    for (int number = 1; number < NSIG; ++number) {
        if (number != SIGKILL && number != SIGSTOP)
            ::sigaction(number, &defaults, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    // Every descriptor handed on first moves above the numbers it goes to, so that
    // placing one never overwrites another.
    errorFd = ::fcntl(errorFd, F_DUPFD_CLOEXEC, plan.free);
    if (errorFd < 0)
        ::_exit(127);
    int moved[64];
    const std::size_t count = plan.descriptors.size();
    for (std::size_t i = 0; i < count; ++i) {
        moved[i] = ::fcntl(plan.descriptors[i].ours, F_DUPFD, plan.free);
        if (moved[i] < 0)
            failInChild(errorFd);
    }
    const int null = plan.null >= 0 ? ::fcntl(plan.null, F_DUPFD, plan.free) : -1;
    const auto named = [&](int fd) {
        for (std::size_t i = 0; i < count; ++i) {
            if (plan.descriptors[i].inChild == fd)
                return true;
        }
        return false;
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (::dup2(moved[i], plan.descriptors[i].inChild) < 0)
            failInChild(errorFd);
    }
    for (int fd = 0; fd <= 2 && null >= 0; ++fd) {
        if (!named(fd) && ::dup2(null, fd) < 0)
            failInChild(errorFd);
    }
    for (int fd = 3; fd < plan.free; ++fd) {
        if (!named(fd))
            ::close(fd);
    }
    if (errorFd > plan.free)
        ::close_range(static_cast<unsigned>(plan.free), static_cast<unsigned>(errorFd - 1), 0);
    ::close_range(static_cast<unsigned>(errorFd + 1), ~0U, 0);

    if (!options.workingDir.empty() && ::chdir(options.workingDir.c_str()) != 0)
        failInChild(errorFd);
    ::execve(plan.path.c_str(), plan.argv.data(), plan.envp);
    failInChild(errorFd);
}

void reapInBackground(pid_t pid)
{
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: the child still runs, it just stays a zombie when it ends.
    }
}

} // namespace

std::string findProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return isExecutableFile(name) ? name : std::string();
    const char* path = std::getenv("PATH");
    const std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + name;
        if (isExecutableFile(candidate))
            return candidate;
    }
    return {};
}

Process Process::spawn(const SpawnOptions& options)
{
    const auto fail = [&](int error) {
        throw std::system_error(error, std::generic_category(),
                                "cannot start " + (options.argv.empty() ? std::string("nothing")
                                                                        : options.argv.front()));
    };
    if (options.argv.empty() || options.argv.front().empty())
        fail(EINVAL);
    // A NUL would silently cut a value short.
    const auto hasNul = [](const std::string& text) {
        return text.find('\0') != std::string::npos;
    };
    if (std::any_of(options.argv.begin(), options.argv.end(), hasNul) ||
        hasNul(options.workingDir) ||
        (options.environment &&
         std::any_of(options.environment->begin(), options.environment->end(), hasNul)))
        fail(EINVAL);
    if (options.descriptors.size() > 64)
        fail(EINVAL);

    ChildPlan plan;
    plan.options = &options;
    plan.path = options.argv.front().find('/') == std::string::npos
                    ? findProgram(options.argv.front())
                    : options.argv.front();
    if (plan.path.empty())
        fail(ENOENT);
    plan.argv = pointersTo(options.argv);
    std::vector<char*> environment;
    if (options.environment) {
        environment = pointersTo(*options.environment);
        plan.envp = environment.data();
    } else {
        plan.envp = environ;
    }
    plan.descriptors = options.descriptors;
    for (const auto& descriptor : options.descriptors) {
        if (descriptor.inChild < 0 || descriptor.ours < 0)
            fail(EBADF);
        plan.free = std::max(plan.free, descriptor.inChild + 1);
    }
    UniqueFd null;
    if (options.quiet) {
        null = openNull();
        if (!null)
            fail(errno);
        plan.null = null.get();
    }
    plan.parent = ::getpid();
    auto report = makePipe();
    if (!report)
        fail(errno);

    const pid_t pid = ::fork();
    if (pid == 0)
        runChild(plan, report->write.get());
    if (pid < 0)
        fail(errno);
    report->write.reset();
    // The child writes why exec failed; the pipe closes unread when it succeeded.
    int error = 0;
    ssize_t n;
    while ((n = ::read(report->read.get(), &error, sizeof error)) < 0 && errno == EINTR) {
    }
    if (n == static_cast<ssize_t>(sizeof error)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        fail(error);
    }
    return Process(pid, UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0))));
}

Process::~Process()
{
    if (m_pid != 0 && !m_status)
        terminate(kGraceOnDestruction);
}

Process::Process(Process&& other) noexcept
    : m_pid(std::exchange(other.m_pid, 0)), m_pidfd(std::move(other.m_pidfd)),
      m_status(std::exchange(other.m_status, std::nullopt))
{}

Process& Process::operator=(Process&& other) noexcept
{
    if (this != &other) {
        if (m_pid != 0 && !m_status)
            terminate(kGraceOnDestruction);
        m_pid = std::exchange(other.m_pid, 0);
        m_pidfd = std::move(other.m_pidfd);
        m_status = std::exchange(other.m_status, std::nullopt);
    }
    return *this;
}

bool Process::reap(bool block)
{
    if (m_status || m_pid == 0)
        return true;
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(m_pid, &status, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (done == 0)
        return false;
    // ECHILD: reaped elsewhere; how it ended is not known.
    m_status = done == m_pid ? decode(status) : ExitStatus{};
    m_pidfd.reset();
    return true;
}

bool Process::running()
{
    return m_pid != 0 && !reap(false);
}

std::optional<ExitStatus> Process::waitUntil(WaitClock::TimePoint deadline, WaitClock& clock)
{
    for (;;) {
        if (reap(false))
            return m_status;
        if (m_pidfd) {
            switch (clock.waitFd(m_pidfd.get(), POLLIN, deadline)) {
            case FdReady::Ready:
                continue;
            case FdReady::Timeout:
                return reap(false) ? m_status : std::nullopt;
            case FdReady::Error:
                m_pidfd.reset();
                continue;
            }
        }
        // Without a descriptor to wait on: look now and then.
        const auto now = clock.now();
        if (now >= deadline)
            return std::nullopt;
        clock.sleepUntil(std::min(deadline, now + std::chrono::milliseconds(5)));
    }
}

ExitStatus Process::terminate(std::chrono::milliseconds grace, WaitClock& clock)
{
    if (!running())
        return m_status.value_or(ExitStatus{});
    signal(SIGCONT);
    signal(SIGTERM);
    if (const auto ended = waitFor(grace, clock))
        return *ended;
    signal(SIGKILL);
    reap(true);
    return *m_status;
}

bool Process::signal(int number)
{
    // Never once it is reaped: its number may belong to another process by then.
    if (m_pid == 0 || m_status)
        return false;
    return ::kill(m_pid, number) == 0;
}

void Process::detach()
{
    if (running())
        reapInBackground(m_pid);
    m_pid = 0;
    m_pidfd.reset();
    m_status.reset();
}

} // namespace automation
