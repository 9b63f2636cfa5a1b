#include "automation/local/LocalHelpViewer.h"

#include "automation/local/Launch.h"
#include "automation/local/Process.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace automation {

namespace fs = std::filesystem;

namespace {

// CHM viewers, in order of preference; each takes the file as its only argument.
const char* const kViewers[] = {"xchm", "kchmviewer", "uchmviewer"};
constexpr int kExtractTimeoutMs = 20000;

// Runs a program with its output thrown away and waits for it, at most timeoutMs.
bool runToEnd(const std::vector<std::string>& argv, int timeoutMs)
{
    SpawnOptions options;
    options.argv = argv;
    options.quiet = true;
    try {
        Process process = Process::spawn(options);
        const auto ended = process.waitFor(std::chrono::milliseconds(timeoutMs));
        if (!ended) {
            process.terminate(std::chrono::milliseconds(0));
            return false;
        }
        return ended->success();
    } catch (const std::system_error&) {
        return false;
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
    return Tools{findProgram,
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
