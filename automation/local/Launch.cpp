#include "automation/local/Launch.h"

#include <cerrno>
#include <csignal>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char** environ;

namespace automation {

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t';
}

class SpawnAttributes
{
public:
    SpawnAttributes() { m_ok = posix_spawnattr_init(&m_attr) == 0; }
    ~SpawnAttributes()
    {
        if (m_ok)
            posix_spawnattr_destroy(&m_attr);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    bool ok() const { return m_ok; }
    posix_spawnattr_t* get() { return &m_attr; }

private:
    posix_spawnattr_t m_attr;
    bool m_ok;
};

class SpawnFileActions
{
public:
    SpawnFileActions() { m_ok = posix_spawn_file_actions_init(&m_actions) == 0; }
    ~SpawnFileActions()
    {
        if (m_ok)
            posix_spawn_file_actions_destroy(&m_actions);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    bool ok() const { return m_ok; }
    posix_spawn_file_actions_t* get() { return &m_actions; }

private:
    posix_spawn_file_actions_t m_actions;
    bool m_ok;
};

void reapLater(pid_t pid)
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

std::vector<std::string> splitCommandLine(std::string_view commandLine)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = commandLine.size();
    while (true) {
        while (i < n && isSeparator(commandLine[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n) {
            std::size_t slashes = 0;
            while (i < n && commandLine[i] == '\\') {
                ++slashes;
                ++i;
            }
            if (i < n && commandLine[i] == '"') {
                arg.append(slashes / 2, '\\');
                if (slashes % 2 == 1) {
                    arg += '"';
                } else if (quoted && i + 1 < n && commandLine[i + 1] == '"') {
                    // "" inside quotes is a literal quote, and the quotes go on.
                    arg += '"';
                    ++i;
                } else {
                    quoted = !quoted;
                }
                ++i;
                continue;
            }
            arg.append(slashes, '\\');
            if (i >= n || (!quoted && isSeparator(commandLine[i])))
                break;
            arg += commandLine[i];
            ++i;
        }
        args.push_back(std::move(arg));
    }
    return args;
}

std::vector<std::string>
programCommandLine(std::string_view commandLine,
                   const std::function<bool(const std::string&)>& isProgram)
{
    const std::size_t start = commandLine.find_first_not_of(" \t");
    if (start == std::string_view::npos)
        return {};
    const std::string_view line = commandLine.substr(start);
    if (line.front() != '"') {
        std::size_t end = line.find_first_of(" \t");
        while (true) {
            const std::string candidate(line.substr(0, end));
            if (isProgram(candidate)) {
                std::vector<std::string> argv{candidate};
                if (end != std::string_view::npos) {
                    for (std::string& arg : splitCommandLine(line.substr(end)))
                        argv.push_back(std::move(arg));
                }
                return argv;
            }
            if (end == std::string_view::npos)
                break;
            end = line.find_first_of(" \t", line.find_first_not_of(" \t", end));
        }
    }
    return splitCommandLine(line);
}

bool isProgramFile(const std::string& path)
{
    struct stat info
    {
    };
    return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

bool spawnDetached(const std::vector<std::string>& argv, const std::string& workingDir)
{
    if (argv.empty() || argv.front().empty())
        return false;
    // A NUL would silently cut an argument short.
    for (const std::string& arg : argv) {
        if (arg.find('\0') != std::string::npos)
            return false;
    }
    if (workingDir.find('\0') != std::string::npos)
        return false;

    SpawnAttributes attr;
    SpawnFileActions actions;
    if (!attr.ok() || !actions.ok())
        return false;

    // The program ignores SIGPIPE and may block signals; the child starts clean, in a
    // session of its own so that it outlives us and our terminal.
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (posix_spawnattr_setsigmask(attr.get(), &none) != 0 ||
        posix_spawnattr_setsigdefault(attr.get(), &all) != 0 ||
        posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                                 POSIX_SPAWN_SETSIGDEF) != 0)
        return false;
    if (!workingDir.empty() &&
        posix_spawn_file_actions_addchdir_np(actions.get(), workingDir.c_str()) != 0)
        return false;

    std::vector<char*> args;
    args.reserve(argv.size() + 1);
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const bool searchPath = argv.front().find('/') == std::string::npos;
    const int err =
        searchPath ? posix_spawnp(&pid, args[0], actions.get(), attr.get(), args.data(), environ)
                   : posix_spawn(&pid, args[0], actions.get(), attr.get(), args.data(), environ);
    if (err != 0)
        return false;
    reapLater(pid);
    return true;
}

} // namespace automation
