#pragma once

#include "automation/Platform.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/sim/SimClock.h"
#include "automation/sim/SimControl.h"
#include "automation/sim/SimDialogs.h"
#include "automation/sim/SimFileSystem.h"
#include "automation/sim/SimHelpViewer.h"
#include "automation/sim/SimLauncher.h"
#include "automation/sim/SimObjectFactory.h"
#include "automation/sim/SimSetup.h"
#include "automation/sim/SimState.h"
#include "automation/sim/SimWindowManager.h"

namespace automation::sim {

// The simulated desktop: windows of three kinds with handles, states, bounds, z-order,
// activation and captions; browsers with documents; the shell, the window manager
// and the common dialogs. The program sees it only through platform(), as it sees
// any other backend; tests and the scenario runner drive it through control(). Every
// operation is recorded for the scenario dump.
class SimDesktop
{
public:
    explicit SimDesktop(SimSetup setup);
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Platform platform();
    SimControl& control() { return m_control; }

private:
    SimState m_state;
    SimClock m_clock;
    LocalFileSystem m_disk;
    SimFileSystem m_files;
    SimLauncher m_launcher;
    SimDialogs m_dialogs;
    SimHelpViewer m_help;
    SimObjectFactory m_objects;
    SimWindowManager m_windows;
    SimControl m_control;
};

} // namespace automation::sim
