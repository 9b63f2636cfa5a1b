// tabulon-scenario: runs the program on the simulated desktop, driven by a scenario
// file, and prints what it looks like at each dump step.
#include "app/GuardedApplication.h"
#include "scenario/Runner.h"

#include <csignal>
#include <cstring>
#include <iostream>

namespace {

// Standard error carries the failed expectations and the unusable-scenario line; the
// offscreen platform's notes would only bury them.
void keepQtQuiet(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::cerr << message.toStdString() << std::endl;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::signal(SIGPIPE, SIG_IGN);
    qInstallMessageHandler(keepQtQuiet);
    tabulon::GuardedApplication app(argc, argv);

    std::optional<std::filesystem::path> workdir;
    std::string scenario;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--workdir") == 0 && i + 1 < argc) {
            workdir = argv[++i];
        } else if (scenario.empty() && argv[i][0] != '-') {
            scenario = argv[i];
        } else {
            scenario.clear();
            break;
        }
    }
    if (scenario.empty()) {
        std::cerr << "usage: tabulon-scenario [--workdir DIR] SCENARIO.json\n";
        return 2;
    }
    return tabulon::scenario::runScenarioFile(scenario, workdir, std::cout, std::cerr);
}
