#pragma once

#include "automation/FileSystem.h"
#include "automation/Types.h"
#include "automation/chromium/ProtocolReplies.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace automation::chromium {

class ChromiumClient;

// The window-manager calls on browser windows, for a window manager that also knows
// the desktop's other windows: state, minimise and restore by handle, activation by
// page title, and the answer to the add-to-favourites keystrokes.
class ChromiumWindows
{
public:
    // The favourite files are written through files.
    ChromiumWindows(std::shared_ptr<ChromiumClient> client, std::string favoritesFolder,
                    FileSystem& files);

    // Whether the handle is one of a browser window (whether or not it still exists).
    static bool owns(Hwnd hwnd);
    bool isZoomed(Hwnd hwnd);
    bool isIconic(Hwnd hwnd);
    // Minimises the window, remembering its state for restore.
    void minimize(Hwnd hwnd);
    // Brings a minimised window back to its earlier state, then raises and focuses it.
    void restore(Hwnd hwnd);
    // Puts the window in the state (from a maximised one to normal too).
    void show(Hwnd hwnd, automation::WindowState state);
    // Changes of state, place and size between the two are sent at once and awaited
    // together; the commit never raises.
    void beginBatch();
    void commitBatch();
    // Raises, focuses and restores the tab showing this title; false when none does.
    bool activateByTitle(const std::string& title);
    // Answers the add-to-favourites keystrokes sent to the tab activated last: writes
    // <Favourites>/<name>.url. False when the keys are not those or no tab is active.
    bool sendKeys(const std::string& keys);

    const std::string& favoritesFolder() const { return m_favoritesFolder; }

private:
    std::shared_ptr<ChromiumClient> m_client;
    std::string m_favoritesFolder;
    FileSystem& m_files;
    // The state a window had before the program minimised it.
    std::map<std::int64_t, WindowState> m_beforeMinimize;
    std::optional<std::string> m_activeTab;
};

} // namespace automation::chromium
