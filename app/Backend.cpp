#include "app/Backend.h"

#include "app/DemoDesktop.h"
#include "app/RealDesktop.h"
#include "automation/chromium/ChromiumSettings.h"
#include "automation/x11/X11Desktop.h"

#include <QGuiApplication>
#include <cstdlib>
#include <ostream>
#include <unistd.h>

namespace tabulon {

namespace {

std::string environment(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace

std::unique_ptr<Backend> loadBackend(std::ostream& log)
{
    const std::string wanted = environment("TABULON_BACKEND");
    if (wanted == "sim")
        return makeDemoDesktop();
    if (!wanted.empty() && wanted != "real")
        log << "tabulon: TABULON_BACKEND=" << wanted
            << " is neither sim nor real; choosing by what this machine has\n";

    // The main window has to be an X11 window for the window manager to keep it on top
    // and to leave it out of the arrangements.
    const QString platform = QGuiApplication::platformName();
    if (platform != QStringLiteral("xcb")) {
        log << "tabulon: no real desktop (the windows are on Qt's \"" << platform.toStdString()
            << "\" platform, not on X11); showing the simulated desktop\n";
        return makeDemoDesktop();
    }
    auto x11 = automation::x11::X11Desktop::connect();
    if (!x11.desktop) {
        log << "tabulon: no real desktop (" << x11.error << "); showing the simulated desktop\n";
        return makeDemoDesktop();
    }

    automation::chromium::ChromiumSettings settings =
        automation::chromium::ChromiumSettings::fromEnvironment();
    if (settings.devtoolsUrl.empty() && ::access(settings.launch.executable.c_str(), X_OK) != 0)
        log << "tabulon: Chromium is missing (no executable at " << settings.launch.executable
            << "; TABULON_CHROMIUM names another): no browser windows to list\n";
    return std::make_unique<RealDesktop>(std::move(x11.desktop), std::move(settings));
}

} // namespace tabulon
