#include "automation/local/Launch.h"

#include "automation/local/Process.h"

#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace automation {

namespace {

bool isSeparator(char c)
{
    return c == ' ' || c == '\t';
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
    SpawnOptions options;
    options.argv = argv;
    options.workingDir = workingDir;
    // In a session of its own, so that it outlives us and our terminal.
    options.newSession = true;
    try {
        Process::spawn(options).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

} // namespace automation
