#pragma once

#include "base/ProgramFiles.h"

#include <cstddef>
#include <filesystem>
#include <iosfwd>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace automation {
struct Platform;
}

namespace automation::sim {
class SimControl;
class SimDesktop;
} // namespace automation::sim

namespace tabulon {
class Form1;
class Program;
} // namespace tabulon

namespace tabulon::scenario {

struct FormAction;
struct StepKind;

// Runs a scenario: the real program, under Qt's offscreen platform, on the simulated
// desktop, driven step by step. Returns 0 when every step ran and every expect held,
// 1 when an expect failed, 2 when the scenario is unusable.
int runScenario(const nlohmann::json& scenario, std::optional<std::filesystem::path> workdir,
                std::ostream& out, std::ostream& err);

// Reads the file and runs it; a file that is not JSON is unusable.
int runScenarioFile(const std::string& path, std::optional<std::filesystem::path> workdir,
                    std::ostream& out, std::ostream& err);

// The scenario asks for something that cannot be: the run stops at once.
class Unusable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// One run of one scenario in its work folder. Every step's shape is checked before
// the program starts; then the steps run in order, each through its entry in
// stepKinds(), and Qt delivers what each caused before the next.
class Runner
{
public:
    Runner(const nlohmann::json& scenario, std::optional<std::filesystem::path> workdir,
           std::ostream& out, std::ostream& err);
    ~Runner();
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;

    // The exit code: 0, 1 or 2 as runScenario says.
    int run();

private:
    friend const std::vector<StepKind>& stepKinds();
    friend const std::vector<FormAction>& formActions();

    // ---- setup (Setup.cpp) ----
    void setup(const nlohmann::json& setup);
    // Writes (or deletes) a file given as {"lines"}, {"text"}, {"base64"} or {"delete"}.
    static void writeFileSpec(const std::filesystem::path& path, const nlohmann::json& content);

    // ---- the program (Runner.cpp) ----
    void runStep(const nlohmann::json& step);
    automation::sim::SimControl& desktop();
    automation::Platform& platform();
    void startProgram();
    // Lets Qt deliver what the step caused, then ends the program if it was ended.
    void settle();
    // The main window; a step that needs it while the program has ended is unusable.
    Form1& form();
    int twipsPerPixel();

    // ---- steps on the main window (MainSteps.cpp) ----
    void menuStep(const nlohmann::json& step);
    void selectStep(const nlohmann::json& step);
    void dblclickStep(const nlohmann::json& step);
    void rightclickStep(const nlohmann::json& step);
    void tickStep(const nlohmann::json& step);
    void filterStep(const nlohmann::json& step);
    void mainStep(const nlohmann::json& step);
    void restartStep(const nlohmann::json& step);
    void startStep(const nlohmann::json& step);
    void selectRow(int row);
    // The list's row (from 1), scrolled into view; a row it lacks is unusable.
    static QTreeWidgetItem* rowItem(QTreeWidget& list, int row);

    // ---- steps on the dialog windows (FormSteps.cpp) ----
    void formStep(const nlohmann::json& step);
    void formSet(QWidget& window, const std::string& name, const nlohmann::json& boxes);
    void formClick(QWidget& window, const std::string& name, const nlohmann::json& button);
    void formSelect(QWidget& window, const std::string& name, const nlohmann::json& row);
    void formDblclick(QWidget& window, const std::string& name, const nlohmann::json& target);
    void formCheck(QWidget& window, const std::string& name, const nlohmann::json& state);
    void formClose(QWidget& window, const std::string& name, const nlohmann::json& value);
    void formResize(QWidget& window, const std::string& name, const nlohmann::json& size);
    // A loaded dialog window by name; one that is not loaded is unusable.
    QWidget& findForm(const std::string& name);

    // ---- steps on the desktop and its files (DesktopSteps.cpp) ----
    void desktopStep(const nlohmann::json& step);
    void filesStep(const nlohmann::json& step);
    void waitStep(const nlohmann::json& step);
    void openWindow(const nlohmann::json& window);

    // ---- answers to dialogs (AnswerSteps.cpp) ----
    void answerStep(const nlohmann::json& step);

    // ---- what the program looks like (DumpSteps.cpp) ----
    void dumpStep(const nlohmann::json& step);
    void expectStep(const nlohmann::json& step);
    void screenshotStep(const nlohmann::json& step);
    nlohmann::json currentDump(const std::string& label);

    const nlohmann::json& m_scenario;
    std::ostream& m_out;
    std::ostream& m_err;
    std::filesystem::path m_workdir;
    std::filesystem::path m_previousDir;
    bool m_ownWorkdir = false;
    std::set<std::string> m_givenFolders;
    std::string m_favorites;
    ProgramFiles m_files;
    std::unique_ptr<automation::sim::SimDesktop> m_desktop;
    std::unique_ptr<automation::Platform> m_platform;
    std::unique_ptr<Program> m_program;
    bool m_endRequested = false;
    bool m_failed = false;
    std::size_t m_step = 0;
};

} // namespace tabulon::scenario
