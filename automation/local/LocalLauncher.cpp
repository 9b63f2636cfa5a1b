#include "automation/local/LocalLauncher.h"

#include "automation/local/Launch.h"

namespace automation {

namespace {

// The file as a program started in directory finds it: a relative name is taken there.
std::string inFolder(const std::string& file, const std::string& directory)
{
    if (directory.empty() || file.front() == '/')
        return file;
    return directory + (directory.back() == '/' ? "" : "/") + file;
}

} // namespace

void LocalLauncher::ShellExecute(Hwnd, const std::string&, const std::string& file,
                                 const std::string& parameters, const std::string& directory, int)
{
    if (file.empty())
        return;
    // Opening a program starts it, as the desktop's "Open" does; anything else goes to
    // the desktop's opener.
    std::vector<std::string> argv;
    const std::string program = inFolder(file, directory);
    if (isProgramFile(program)) {
        argv.push_back(program);
        for (std::string& argument : splitCommandLine(parameters))
            argv.push_back(std::move(argument));
    } else {
        // A name starting with "-" would be taken for an option.
        argv = {"xdg-open", file.front() == '-' ? "./" + file : file};
    }
    spawnDetached(argv, directory);
}

void LocalLauncher::StartProgram(const std::string& commandLine, int)
{
    spawnDetached(programCommandLine(commandLine, isProgramFile), {});
}

} // namespace automation
