#include "automation/local/LocalLauncher.h"

#include "automation/local/Launch.h"

#include <sys/stat.h>
#include <unistd.h>

namespace automation {

namespace {

bool isProgram(const std::string& path)
{
    struct stat info
    {
    };
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

} // namespace

void LocalLauncher::ShellExecute(Hwnd, const std::string&, const std::string& file,
                                 const std::string& parameters, const std::string& directory, int)
{
    if (file.empty())
        return;
    // Opening a program starts it, as the desktop's "Open" does.
    std::vector<std::string> argv;
    if (isProgram(file)) {
        argv.push_back(file);
        for (std::string& argument : splitCommandLine(parameters))
            argv.push_back(std::move(argument));
    } else {
        argv = {"xdg-open", file};
    }
    spawnDetached(argv, directory);
}

void LocalLauncher::StartProgram(const std::string& commandLine, int)
{
    spawnDetached(splitCommandLine(commandLine), {});
}

} // namespace automation
