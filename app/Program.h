#pragma once

#include "base/ProgramFiles.h"

#include <functional>
#include <memory>
#include <string>

namespace automation {
struct Platform;
}

namespace tabulon {

class Form1;
class Module1;

// One run of the program on a platform: its shared tables and its windows.
class Program
{
public:
    // onEnd runs when the user ends the program ("終了" or the close box).
    Program(automation::Platform& platform, ProgramFiles files, std::function<void()> onEnd);
    ~Program();

    // Runs the start-up sequence; when it cannot start, says why in error and returns false.
    bool start(std::string& error);

    // Brings the main window forward, restoring it first when it is minimised: another
    // start of the program asked for it.
    void raise();

    Form1& mainWindow() { return *m_form1; }
    Module1& module() { return *m_module; }

private:
    std::unique_ptr<Module1> m_module;
    std::unique_ptr<Form1> m_form1;
};

} // namespace tabulon
