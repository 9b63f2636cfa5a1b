#pragma once

#include "automation/Launcher.h"

namespace automation {

// Starts programs and opens files on this machine: a program is started directly,
// anything else is handed to xdg-open. Always with an argument vector, never a shell.
class LocalLauncher : public Launcher
{
public:
    void ShellExecute(Hwnd owner, const std::string& operation, const std::string& file,
                      const std::string& parameters, const std::string& directory,
                      int show) override;
    void StartProgram(const std::string& commandLine, int show) override;
};

} // namespace automation
