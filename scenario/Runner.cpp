#include "scenario/Runner.h"

#include "app/Form1.h"
#include "app/Program.h"
#include "automation/sim/SimDesktop.h"
#include "automation/sim/SimJson.h"
#include "scenario/Steps.h"

#include <QApplication>
#include <cstdlib>
#include <fstream>
#include <iostream>

namespace tabulon::scenario {

using nlohmann::json;

namespace {

std::filesystem::path makeTempFolder()
{
    std::string pattern =
        (std::filesystem::temp_directory_path() / "tabulon-scenario-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw Unusable("cannot make a temporary work folder");
    return pattern;
}

} // namespace

Runner::Runner(const json& scenario, std::optional<std::filesystem::path> workdir,
               std::ostream& out, std::ostream& err)
    : m_scenario(scenario), m_out(out), m_err(err)
{
    if (workdir) {
        std::filesystem::create_directories(*workdir);
        m_workdir = std::filesystem::absolute(*workdir).lexically_normal();
    } else {
        m_workdir = makeTempFolder();
        m_ownWorkdir = true;
    }
    m_previousDir = std::filesystem::current_path();
    std::filesystem::current_path(m_workdir);
}

Runner::~Runner()
{
    m_program.reset();
    QApplication::processEvents();
    std::error_code error;
    std::filesystem::current_path(m_previousDir, error);
    if (m_ownWorkdir)
        std::filesystem::remove_all(m_workdir, error);
}

int Runner::run()
{
    const json steps = m_scenario.value("steps", json::array());
    try {
        if (!m_scenario.is_object())
            throw Unusable(R"(a scenario is a JSON object with "setup" and "steps")");
        for (const auto& [key, value] : m_scenario.items()) {
            (void)value;
            if (key != "setup" && key != "steps")
                throw Unusable(R"(unknown field ")" + key + '"');
        }
        if (!steps.is_array())
            throw Unusable("\"steps\" must be a list");
        for (std::size_t i = 0; i < steps.size(); ++i) {
            const std::string problem = checkStep(steps[i]);
            if (!problem.empty())
                throw Unusable("step " + std::to_string(i + 1) + ": " + problem);
        }
        setup(m_scenario.value("setup", json::object()));
    } catch (const Unusable& problem) {
        m_err << (std::string(problem.what()).rfind("step ", 0) == 0 ? "" : "setup: ")
              << problem.what() << '\n';
        return 2;
    } catch (const automation::sim::ScenarioError& problem) {
        m_err << "setup: " << problem.what() << '\n';
        return 2;
    }

    startProgram();
    for (std::size_t i = 0; i < steps.size(); ++i) {
        m_step = i + 1;
        try {
            runStep(steps[i]);
        } catch (const Unusable& problem) {
            m_err << "step " << m_step << ": " << problem.what() << '\n';
            return 2;
        } catch (const automation::sim::ScenarioError& problem) {
            m_err << "step " << m_step << ": " << problem.what() << '\n';
            return 2;
        }
        settle();
    }
    return m_failed ? 1 : 0;
}

// The step was checked before the run began, so its kind is one of the table's.
void Runner::runStep(const json& step)
{
    const StepKind& kind = *findStepKind(step);
    if (!m_program && !kind.withoutProgram)
        throw Unusable("the program has ended; a \"" + kind.name + "\" step needs it running");
    (this->*kind.run)(step);
}

automation::sim::SimControl& Runner::desktop()
{
    return m_desktop->control();
}

automation::Platform& Runner::platform()
{
    if (!m_platform)
        m_platform = std::make_unique<automation::Platform>(m_desktop->platform());
    return *m_platform;
}

void Runner::startProgram()
{
    m_endRequested = false;
    m_program = std::make_unique<Program>(platform(), m_files, [this] { m_endRequested = true; });
    std::string error;
    if (!m_program->start(error)) {
        m_err << "tabulon: cannot start: " << error << '\n';
        m_endRequested = true;
    }
    settle();
}

void Runner::settle()
{
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (QWidget* popup = QApplication::activePopupWidget())
        popup->close();
    if (m_program && m_endRequested) {
        m_program.reset();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

Form1& Runner::form()
{
    if (!m_program)
        throw Unusable("the program has ended");
    return m_program->mainWindow();
}

int Runner::twipsPerPixel()
{
    return desktop().setup().screen.twipsPerPixelX;
}

int runScenario(const json& scenario, std::optional<std::filesystem::path> workdir,
                std::ostream& out, std::ostream& err)
{
    try {
        Runner runner(scenario, std::move(workdir), out, err);
        return runner.run();
    } catch (const Unusable& problem) {
        err << "setup: " << problem.what() << '\n';
        return 2;
    } catch (const std::filesystem::filesystem_error& problem) {
        err << "setup: " << problem.what() << '\n';
        return 2;
    }
}

int runScenarioFile(const std::string& path, std::optional<std::filesystem::path> workdir,
                    std::ostream& out, std::ostream& err)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        err << "cannot read " << path << '\n';
        return 2;
    }
    json scenario;
    try {
        scenario = json::parse(in);
    } catch (const json::exception& problem) {
        err << path << " is not JSON: " << problem.what() << '\n';
        return 2;
    }
    return runScenario(scenario, std::move(workdir), out, err);
}

} // namespace tabulon::scenario
