#pragma once

#include "automation/sim/SimDesktop.h"
#include "core/Module1.h"
#include "winlist/ListRebuild.h"
#include "winlist/WebWindowList.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace tabulon::testing {

// The program's shared tables and its web-window list over a simulated desktop of
// 1024 x 768 pixels, for tests of the procedures that drive the windows.
class SimFixture
{
public:
    SimFixture()
        : sim(automation::sim::SimSetup{}), desktop(sim.control()), platform(sim.platform()),
          module(platform, ProgramFiles{"/nonexistent/tabulon"}),
          shellWindows(platform.objects.createShell()->windows())
    {}

    // Opens a browser window showing a web page; hwnd 0 asks for a fresh handle.
    automation::sim::SimWindow& openBrowser(const std::string& id, automation::Hwnd hwnd = 0)
    {
        automation::sim::SimWindow window;
        window.id = id;
        window.url = "http://" + id + ".example/";
        window.title = id;
        window.hwnd = hwnd;
        window.document = std::make_shared<automation::sim::SimDocumentData>();
        return desktop.openWindow(std::move(window), hwnd != 0);
    }

    // Rebuilds the list from the desktop as it is now; the calls made so far are dropped.
    void rebuild()
    {
        rebuildRows(list, *shellWindows, module);
        desktop.takeCalls();
    }

    nlohmann::json calls() { return desktop.takeCalls(); }

    automation::sim::SimDesktop sim;
    automation::sim::SimControl& desktop;
    automation::Platform platform;
    Module1 module;
    std::shared_ptr<automation::ShellWindows> shellWindows;
    WebWindowList list;
};

} // namespace tabulon::testing
