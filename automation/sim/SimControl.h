#pragma once

#include "automation/Types.h"
#include "automation/sim/SimSetup.h"
#include "automation/sim/SimWindow.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace automation {
class Browser;
class FileSystem;
} // namespace automation

namespace automation::sim {

class SimClock;
class SimDialogs;
class SimFileSystem;
class SimState;

// What tests and the scenario runner drive the simulated desktop with: windows that
// open, change and close behind the program's back, time, the answers of dialogs, and
// what the desktop looks like and was asked to do. The program never sees it.
class SimControl
{
public:
    SimControl(SimState& state, SimClock& clock, SimDialogs& dialogs, SimFileSystem& files,
               FileSystem& disk)
        : m_state(state), m_clock(clock), m_dialogs(dialogs), m_files(files), m_disk(disk)
    {}

    const SimSetup& setup() const;
    // Virtual time: advancing it runs the program's timers.
    SimClock& clock() { return m_clock; }
    // Queues the answers of dialogs and takes those shown.
    SimDialogs& dialogs() { return m_dialogs; }
    // The file system the program writes through (a write can be made to fail).
    SimFileSystem& files() { return m_files; }
    // The machine's own files, read and written without a record.
    FileSystem& disk() { return m_disk; }

    // Opens a window behind the program's back, appended to the collection. Without a
    // handle of its own it is given a fresh one.
    SimWindow& openWindow(SimWindow window, bool hasOwnHandle);
    // The user closes a window.
    void closeWindow(const std::string& id);
    // A window changed behind the program's back (its state may have changed).
    void windowChanged(SimWindow& window, std::optional<WindowState> newState);

    SimWindow* find(const std::string& id);
    const std::vector<std::shared_ptr<SimWindow>>& allWindows() const;
    // The id of the window a browser object of this desktop belongs to; "" for others.
    std::string idOf(const Browser* browser) const;

    // Open windows front to back, the main window as "main".
    const std::vector<std::string>& zorder() const;
    // The foreground window's id; "" when none.
    const std::string& active() const;
    bool isTopMost(const std::string& id) const;

    // The operations since the last call, oldest first.
    nlohmann::json takeCalls();

private:
    SimState& m_state;
    SimClock& m_clock;
    SimDialogs& m_dialogs;
    SimFileSystem& m_files;
    FileSystem& m_disk;
};

} // namespace automation::sim
