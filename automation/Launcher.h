#pragma once

#include "automation/Types.h"

#include <string>

namespace automation {

inline constexpr int SW_SHOWNORMAL = 1;

// Starts programs and opens files as the desktop does.
class Launcher
{
public:
    virtual ~Launcher() = default;

    // Opens a file or starts a program through the shell ("Open"); the result is
    // not examined by the program.
    virtual void ShellExecute(Hwnd owner, const std::string& operation, const std::string& file,
                              const std::string& parameters, const std::string& directory,
                              int show) = 0;
    // Starts a program from its command line, its window shown with the focus.
    virtual void StartProgram(const std::string& commandLine, int show) = 0;
};

} // namespace automation
