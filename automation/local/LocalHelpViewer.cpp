#include "automation/local/LocalHelpViewer.h"

#include "automation/local/Launch.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace automation {

namespace fs = std::filesystem;

namespace {

// CHM viewers, in order of preference; each takes the file as its only argument.
const char* const kViewers[] = {"xchm", "kchmviewer", "uchmviewer"};
constexpr int kExtractTimeoutMs = 20000;

std::string findOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        const std::string folder = folders.substr(start, end - start);
        start = end + 1;
        if (folder.empty())
            continue;
        const std::string candidate = folder + "/" + name;
        struct stat info
        {
        };
        if (::stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

// Runs a program with its output thrown away and waits for it, at most timeoutMs.
bool runToEnd(const std::vector<std::string>& argv, int timeoutMs)
{
    if (argv.empty())
        return false;
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return false;
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int err = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0)
        return false;

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int status = 0;
    while (true) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0 && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A topic is a path inside the help file; one that climbs out of it is refused.
bool isInsideTopic(const fs::path& topic)
{
    if (topic.empty())
        return false;
    for (const auto& part : topic) {
        if (part == "..")
            return false;
    }
    return true;
}

} // namespace

LocalHelpViewer::LocalHelpViewer() : LocalHelpViewer(machineTools(), defaultCacheFolder()) {}

LocalHelpViewer::LocalHelpViewer(Tools tools, std::string cacheFolder)
    : m_tools(std::move(tools)), m_cacheFolder(std::move(cacheFolder))
{}

LocalHelpViewer::Tools LocalHelpViewer::machineTools()
{
    return Tools{findOnPath,
                 [](const std::vector<std::string>& argv) { return spawnDetached(argv, {}); },
                 runToEnd};
}

std::string LocalHelpViewer::defaultCacheFolder()
{
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache && *cache == '/')
        return std::string(cache) + "/tabulon/help";
    if (const char* home = std::getenv("HOME"); home && *home == '/')
        return std::string(home) + "/.cache/tabulon/help";
    return (fs::temp_directory_path() / ("tabulon-help-" + std::to_string(::getuid()))).string();
}

void LocalHelpViewer::HtmlHelp(const std::string& file, const std::string& topic)
{
    for (const char* viewer : kViewers) {
        const std::string program = m_tools.findProgram(viewer);
        if (!program.empty() && m_tools.start({program, file}))
            return;
    }

    fs::path page = topic;
    page = page.relative_path();
    if (!isInsideTopic(page))
        return;
    const std::string folder = extracted(file);
    if (folder.empty())
        return;
    const fs::path target = fs::path(folder) / page;
    std::error_code error;
    if (!fs::is_regular_file(target, error))
        return;
    const std::string opener = m_tools.findProgram("xdg-open");
    if (!opener.empty())
        m_tools.start({opener, target.string()});
}

std::string LocalHelpViewer::extracted(const std::string& file)
{
    std::error_code error;
    const fs::path source = fs::absolute(file, error);
    struct stat info
    {
    };
    if (error || ::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return {};
    // One folder per version of the file: a rebuilt help is extracted afresh.
    const fs::path folder =
        fs::path(m_cacheFolder) /
        (source.stem().string() + "-" + std::to_string(info.st_size) + "-" +
         std::to_string(info.st_mtim.tv_sec) + "." + std::to_string(info.st_mtim.tv_nsec));
    if (fs::is_directory(folder, error))
        return folder.string();

    fs::create_directories(m_cacheFolder, error);
    std::string pattern = (fs::path(m_cacheFolder) / ".extract-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        return {};
    const std::string extractor = m_tools.findProgram("extract_chmLib");
    const bool done =
        !extractor.empty() && m_tools.run({extractor, source.string(), pattern}, kExtractTimeoutMs);
    // The pages appear under their final name whole or not at all.
    if (done)
        fs::rename(pattern, folder, error);
    if (!done || error) {
        fs::remove_all(pattern, error);
        return fs::is_directory(folder, error) ? folder.string() : std::string();
    }
    return folder.string();
}

} // namespace automation
