#include "automation/chromium/ChromiumProcess.h"

#include "automation/Error.h"
#include "automation/chromium/PipeTransport.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace automation::chromium {

bool makeFolders(const std::string& path)
{
    if (path.empty())
        return false;
    std::string::size_type pos = 0;
    while (pos != std::string::npos) {
        pos = path.find('/', pos + 1);
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
    }
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

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

namespace {

// A descriptor numbered above 4, so that dup2 onto 3 and 4 in the child never meets
// itself (which would keep its close-on-exec flag).
int highCopy(int fd)
{
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 10);
    ::close(fd);
    return copy;
}

} // namespace

std::unique_ptr<ChromiumProcess> ChromiumProcess::start(const LaunchOptions& options)
{
    ignoreSigpipe();
    if (::access(options.executable.c_str(), X_OK) != 0)
        throw Error("createBrowser", "Chromium is missing: no executable at " + options.executable);
    if (!makeFolders(options.profileDir))
        throw Error("createBrowser", "cannot make the profile folder " + options.profileDir);

    int toBrowser[2];
    int fromBrowser[2];
    if (::pipe2(toBrowser, O_CLOEXEC) != 0)
        throw Error("createBrowser", std::strerror(errno));
    if (::pipe2(fromBrowser, O_CLOEXEC) != 0) {
        ::close(toBrowser[0]);
        ::close(toBrowser[1]);
        throw Error("createBrowser", std::strerror(errno));
    }
    const int childIn = highCopy(toBrowser[0]);
    const int childOut = highCopy(fromBrowser[1]);

    // Everything the child needs is made before fork: after it only calls that are
    // safe in a child of a threaded program.
    const std::vector<std::string> args = arguments(options, ::geteuid() == 0);
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t parent = ::getpid();
    // The browser talks a lot on standard error; the program's own stays quiet.
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        struct sigaction defaults
        {
        };
        defaults.sa_handler = SIG_DFL;
        ::sigaction(SIGPIPE, &defaults, nullptr);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (quiet >= 0) {
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
        }
        if (::dup2(childIn, 3) < 0 || ::dup2(childOut, 4) < 0)
            ::_exit(127);
        ::close_range(5, ~0U, 0);
        ::execve(argv[0], argv.data(), environ);
        ::_exit(127);
    }
    ::close(childIn);
    ::close(childOut);
    if (quiet >= 0)
        ::close(quiet);
    if (pid < 0) {
        ::close(toBrowser[1]);
        ::close(fromBrowser[0]);
        throw Error("createBrowser", std::strerror(errno));
    }
    auto transport = std::make_unique<PipeTransport>(fromBrowser[0], toBrowser[1]);
    return std::unique_ptr<ChromiumProcess>(new ChromiumProcess(pid, std::move(transport)));
}

bool ChromiumProcess::exited()
{
    if (m_reaped)
        return true;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == m_pid || (done < 0 && errno == ECHILD))
        m_reaped = true;
    return m_reaped;
}

void ChromiumProcess::stop(int waitMs)
{
    if (exited())
        return;
    ::kill(m_pid, SIGTERM);
    for (int waited = 0; waited < waitMs; waited += 10) {
        if (exited())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(m_pid, SIGKILL);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_reaped = true;
}

ChromiumProcess::~ChromiumProcess()
{
    m_transport.reset();
    stop(2000);
}

} // namespace automation::chromium
