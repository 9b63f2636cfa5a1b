#include "app/Program.h"

#include "app/Form1.h"
#include "automation/Error.h"
#include "core/Module1.h"

namespace tabulon {

Program::Program(automation::Platform& platform, ProgramFiles files, std::function<void()> onEnd)
    : m_module(std::make_unique<Module1>(platform, std::move(files))),
      m_form1(std::make_unique<Form1>(platform, *m_module, std::move(onEnd)))
{}

Program::~Program() = default;

bool Program::start(std::string& error)
{
    try {
        m_form1->Form_Load();
        return true;
    } catch (const automation::Error& failure) {
        // Without the shell objects there is nothing to list: start-up stops here.
        error = failure.what();
        return false;
    } catch (const std::exception& failure) {
        // Nor can the program start on anything else that went wrong on the way; it says
        // so and ends instead of aborting.
        error = failure.what();
        return false;
    }
}

void Program::raise()
{
    Form1& window = *m_form1;
    if (window.hasEnded())
        return;
    if (window.isMinimized())
        window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.show();
    window.raise();
    window.activateWindow();
}

} // namespace tabulon
