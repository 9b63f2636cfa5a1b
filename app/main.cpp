// Tabulon: lists the open web-browser windows and arranges them.
#include "app/Backend.h"
#include "app/BridgeSetup.h"
#include "app/GuardedApplication.h"
#include "app/Program.h"
#include "app/ProgramLocation.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

int main(int argc, char* argv[])
{
    // A browser that dies under a write must not take the program with it.
    std::signal(SIGPIPE, SIG_IGN);
    // Setting up the bridge to the user's own browsers needs no display. With --system
    // (the package's own scripts, as root) the manifests go in the machine's folders.
    if ((argc == 2 || (argc == 3 && std::strcmp(argv[2], "--system") == 0)) &&
        (std::strcmp(argv[1], "--install-browser-bridge") == 0 ||
         std::strcmp(argv[1], "--uninstall-browser-bridge") == 0)) {
        const bool system = argc == 3;
        const char* home = system ? "/" : std::getenv("HOME");
        if (!home || *home != '/') {
            std::cerr << "tabulon: HOME does not name a folder\n";
            return 1;
        }
        const auto scope = system ? tabulon::BridgeScope::System : tabulon::BridgeScope::User;
        if (std::strcmp(argv[1], "--install-browser-bridge") == 0)
            return tabulon::installBrowserBridge(home, tabulon::bridgeFilesBesideProgram(),
                                                 std::cout, std::cerr, scope);
        return tabulon::uninstallBrowserBridge(home, std::cout, std::cerr, scope);
    }
    // The real desktop is X11: under a Wayland session the program's windows go to
    // its X server too, so that the window manager can keep them on top.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qgetenv("TABULON_BACKEND") != "sim")
        qputenv("QT_QPA_PLATFORM", "xcb");

    tabulon::GuardedApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tabulon"));
    QApplication::setQuitOnLastWindowClosed(false);

    auto backend = tabulon::loadBackend(std::cerr);
    auto platform = backend->platform();
    tabulon::Program program(platform,
                             tabulon::locateProgramFiles(QCoreApplication::applicationFilePath()),
                             [] { QCoreApplication::quit(); });
    std::string error;
    if (!program.start(error)) {
        std::cerr << "tabulon: cannot start: " << error << '\n';
        return 1;
    }
    return QApplication::exec();
}
