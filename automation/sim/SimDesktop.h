#pragma once

#include "automation/Platform.h"
#include "automation/local/LocalFileSystem.h"
#include "automation/sim/SimClock.h"
#include "automation/sim/SimServices.h"
#include "automation/sim/SimWindow.h"

#include <deque>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace automation::sim {

// What the desktop looks like before anything happens.
struct SimSetup
{
    ScreenMetrics screen;
    // "Desktop", "MyDocuments", "Favorites": the text SpecialFolders reports.
    std::map<std::string, std::string> folders;
    // Whether reads of automation members are recorded as "get" calls too.
    bool logReads = false;
};

// The simulated desktop: windows of three kinds with handles, states, bounds, z-order,
// activation and captions; browsers with documents; the shell, the window manager
// and the common dialogs. It implements every automation interface the program uses
// (through platform()) and records every operation for the scenario dump.
class SimDesktop : private ObjectFactory, private WindowManager
{
public:
    static constexpr Hwnd kMainHwnd = 4096;

    explicit SimDesktop(SimSetup setup);
    ~SimDesktop() override;
    SimDesktop(const SimDesktop&) = delete;
    SimDesktop& operator=(const SimDesktop&) = delete;

    Platform platform();
    SimClock& clock() { return m_clock; }
    SimDialogs& dialogs() { return m_dialogs; }
    SimFileSystem& files() { return m_files; }
    const SimSetup& setup() const { return m_setup; }

    // Opens a window behind the program's back, appended to the collection. Without a
    // handle of its own it is given a fresh one.
    SimWindow& openWindow(SimWindow window, bool hasOwnHandle);
    // The user closes a window.
    void closeWindow(const std::string& id);
    // A window changed behind the program's back (its state may have changed).
    void windowChanged(SimWindow& window, std::optional<WindowState> newState);

    SimWindow* find(const std::string& id);
    const std::vector<std::shared_ptr<SimWindow>>& allWindows() const { return m_windows; }
    // The id of the window a browser object of this desktop belongs to; "" for others.
    std::string idOf(const Browser* browser) const;

    // Open windows front to back, the main window as "main".
    const std::vector<std::string>& zorder() const { return m_zorder; }
    // The foreground window's id; "" when none.
    const std::string& active() const { return m_active; }
    bool isTopMost(const std::string& id) const;
    bool mainAttached() const { return m_host != nullptr; }

    // The operations since the last call, oldest first.
    nlohmann::json takeCalls();

    // Used by the objects of this desktop.
    void record(nlohmann::json call);
    void recordRead(const SimWindow& window, const char* target, std::string_view prop);
    bool logReads() const { return m_setup.logReads; }
    std::pair<int, int> screenPixels() const;
    // Ids are taken by value: callers often pass one that lives in the z-order list
    // these functions reorder.
    void activate(std::string id);
    void bringToFront(std::string id);
    void browserShown(SimWindow& window);
    void browserClosed(SimWindow& window);
    LocalFileSystem& disk() { return m_disk; }

private:
    // ObjectFactory
    std::shared_ptr<Shell> createShell() override;
    std::shared_ptr<ScriptingShell> createScriptingShell() override;
    std::shared_ptr<Browser> createBrowser() override;

    // WindowManager
    Hwnd attachMainWindow(HostWindow& window) override;
    void detachMainWindow() override;
    void SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    bool IsZoomed(Hwnd hwnd) override;
    bool IsIconic(Hwnd hwnd) override;
    void CloseWindow(Hwnd hwnd) override;
    void OpenIcon(Hwnd hwnd) override;
    void AppActivate(const std::string& caption) override;
    void SendKeys(const std::string& keys) override;
    ScreenMetrics screen() override { return m_setup.screen; }

    friend class SimShellObject;

    SimWindow* byHandle(Hwnd hwnd);
    std::string idOfHandle(Hwnd hwnd);
    std::optional<WindowState> stateOfHandle(Hwnd hwnd);
    bool recordHandleCall(const char* op, Hwnd hwnd, const std::string& id);
    Hwnd freshHandle();
    void minimize(std::string id);
    void restore(std::string id);
    void sendToBack(std::string id);
    void removeFromZorder(std::string id);
    void answerFavoriteKeys(const std::string& keys);
    void arrange(const char* how);

    SimSetup m_setup;
    SimClock m_clock;
    LocalFileSystem m_disk;
    SimFileSystem m_files;
    SimLauncher m_launcher;
    SimDialogs m_dialogs;
    SimHelp m_help;

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
