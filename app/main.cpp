// Tabulon: lists the open web-browser windows and arranges them.
#include "app/Backend.h"
#include "app/BusNames.h"
#include "app/CommandLine.h"
#include "app/GuardedApplication.h"
#include "app/InstanceGuard.h"
#include "app/Program.h"
#include "app/ProgramLocation.h"
#include "app/TabulonAdaptor.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QIcon>
#include <csignal>
#include <iostream>

namespace {

constexpr const char* kVersion = TABULON_VERSION;
// How long a second start waits for the running instance to bring its window forward.
constexpr int kRaiseDeadlineMs = 15000;

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("tabulon"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(kVersion));
}

} // namespace

int main(int argc, char* argv[])
{
    // A browser that dies under a write must not take the program with it.
    std::signal(SIGPIPE, SIG_IGN);
    // The command line drives the running instance and needs no display.
    if (tabulon::wantsCommandLine(argc, argv)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        return tabulon::runCommandLine(QCoreApplication::arguments(), std::cout, std::cerr);
    }
    // The real desktop is X11: under a Wayland session the program's windows go to
    // its X server too, so that the window manager can keep them on top.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY") &&
        qgetenv("TABULON_BACKEND") != "sim")
        qputenv("QT_QPA_PLATFORM", "xcb");

    tabulon::GuardedApplication app(argc, argv);
    nameApplication();
    QApplication::setQuitOnLastWindowClosed(false);
    // The window manager finds the desktop entry, and with it the program's own icon.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(tabulon::kBusName));
    QApplication::setWindowIcon(QIcon::fromTheme(QString::fromLatin1(tabulon::kBusName)));

    // A second start only brings the first one's window forward: it never reads or
    // writes the settings and lists, which the first one rewrites from its own memory.
    tabulon::ProgramFiles files =
        tabulon::locateProgramFiles(QCoreApplication::applicationFilePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    tabulon::InstanceGuard guard(bus, QString::fromStdString(files.folder));
    if (guard.claim() == tabulon::InstanceGuard::Claim::Other) {
        std::string error;
        if (!guard.raiseRunning(kRaiseDeadlineMs, error)) {
            std::cerr << "tabulon: another Tabulon runs, but " << error << '\n';
            return 1;
        }
        return 0;
    }

    auto backend = tabulon::loadBackend(std::cerr);
    auto platform = backend->platform();
    tabulon::Program program(platform, std::move(files), [] { QCoreApplication::quit(); });
    std::string error;
    if (!program.start(error)) {
        std::cerr << "tabulon: cannot start: " << error << '\n';
        return 1;
    }
    QObject::connect(&guard, &tabulon::InstanceGuard::raiseRequested, &app,
                     [&program] { program.raise(); });
    tabulon::TabulonAdaptor adaptor(program);
    if (guard.onBus() &&
        !bus.registerObject(QString::fromLatin1(tabulon::kBusPath), &adaptor,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals))
        std::cerr << "tabulon: cannot offer the bus interface: "
                  << bus.lastError().message().toStdString() << '\n';
    const int status = QApplication::exec();
    if (guard.onBus())
        bus.unregisterObject(QString::fromLatin1(tabulon::kBusPath));
    return status;
}
