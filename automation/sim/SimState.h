#pragma once

#include "automation/WindowManager.h"
#include "automation/sim/SimSetup.h"
#include "automation/sim/SimWindow.h"

#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace automation::sim {

// What the simulated desktop is at this moment: its windows with their handles, the
// z-order, the foreground window, the top-most band, the program's main window and
// the log of operations. The automation objects change it as the program drives
// them; the control changes it behind the program's back.
class SimState
{
public:
    // The main window's handle and its id in the z-order and the dump.
    static constexpr Hwnd kMainHwnd = 4096;
    static const std::string kMain;

    explicit SimState(SimSetup setup) : m_setup(std::move(setup)) {}

    const SimSetup& setup() const { return m_setup; }
    bool logReads() const { return m_setup.logReads; }
    // The screen's size in pixels.
    std::pair<int, int> screenPixels() const;

    // Adds a window to the collection and the z-order. Without a handle of its own it
    // is given a fresh one; unless minimised it becomes the foreground window.
    SimWindow& openWindow(SimWindow window, bool hasOwnHandle);
    // A browser window the program asked for: "new1", "new2", ..., hidden and behind
    // every other window until it is shown.
    std::shared_ptr<SimWindow> newBrowserWindow();
    // A window changed behind the program's back (its state may have changed).
    void windowChanged(SimWindow& window, std::optional<WindowState> newState);

    SimWindow* find(const std::string& id);
    const std::vector<std::shared_ptr<SimWindow>>& allWindows() const { return m_windows; }
    // The id of the open window, or of the main window, a handle names; "" when none.
    std::string idOfHandle(Hwnd hwnd);
    // The state of the window a handle names; nothing when it names none.
    std::optional<WindowState> stateOfHandle(Hwnd hwnd);

    // Open windows front to back, the main window as "main".
    const std::vector<std::string>& zorder() const { return m_zorder; }
    // The foreground window's id; "" when none.
    const std::string& active() const { return m_active; }
    bool isTopMost(const std::string& id) const;

    // Ids are taken by value: callers often pass one that lives in the z-order list
    // these functions reorder.
    void activate(const std::string& id);
    void clearActive() { m_active.clear(); }
    void bringToFront(const std::string& id);
    // Joins the top-most band, or leaves it for the front of the other windows.
    void setTopMost(const std::string& id, bool topMost);
    void minimize(const std::string& id);
    // Brings a minimised window back to the state it had, and activates it.
    void restore(const std::string& id);
    void browserShown(SimWindow& window);
    void browserClosed(SimWindow& window);

    // The program's main window joins the desktop as the foreground window.
    Hwnd attachMain(HostWindow& window);
    void detachMain();
    // The main window while it is attached; nullptr otherwise.
    HostWindow* main() { return m_host; }

    void record(nlohmann::json call);
    // A read of an automation member, recorded when the setup asks for reads.
    void recordRead(const SimWindow& window, const char* target, std::string_view prop);
    // The operations since the last call, oldest first.
    nlohmann::json takeCalls();

private:
    SimWindow* byHandle(Hwnd hwnd);
    Hwnd freshHandle();
    void sendToBack(const std::string& id);
    void removeFromZorder(const std::string& id);

    SimSetup m_setup;
    std::vector<std::shared_ptr<SimWindow>> m_windows;
    std::vector<std::string> m_zorder;
    std::set<std::string> m_topMost;
    std::string m_active;
    HostWindow* m_host = nullptr;
    Hwnd m_nextHandle = 65552;
    std::set<Hwnd> m_usedHandles;
    int m_newWindows = 0;
    nlohmann::json m_calls = nlohmann::json::array();
};

} // namespace automation::sim
