#pragma once

#include "automation/FileSystem.h"
#include "automation/WindowManager.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace automation::bridged {

class BridgeHub;
class BridgePeer;

// The window manager with the bridged browsers' windows added: a call on a bridged
// window's handle goes to its browser's extension, anything else to the window
// manager underneath. A caption made from a bridged tab's title activates that tab; the
// add-to-favourites keystrokes sent after it write the tab's shortcut file.
class BridgedWindowManager : public WindowManager
{
public:
    BridgedWindowManager(WindowManager& inner, std::shared_ptr<BridgeHub> hub,
                         std::string favoritesFolder, FileSystem& files);

    Hwnd attachMainWindow(HostWindow& window) override;
    void detachMainWindow() override;
    void SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    bool IsZoomed(Hwnd hwnd) override;
    bool IsIconic(Hwnd hwnd) override;
    void CloseWindow(Hwnd hwnd) override;
    void OpenIcon(Hwnd hwnd) override;
    void ShowWindow(Hwnd hwnd, WindowState state) override;
    void AppActivate(const std::string& caption) override;
    void SendKeys(const std::string& keys) override;
    ScreenMetrics screen() override;
    // Bridged windows answer through their extension one by one; a batch still lets the
    // windows underneath move together, and the browsers are asked where their windows
    // went once it is carried out.
    void beginBatch() override;
    void commitBatch() override;

private:
    struct Target
    {
        std::shared_ptr<BridgePeer> peer;
        std::int64_t windowId;
    };
    Target target(const char* member, Hwnd hwnd);
    void activateTab(const char* member, const std::shared_ptr<BridgePeer>& peer,
                     std::int64_t tabId);
    bool writeFavorite(const std::string& keys);

    WindowManager& m_inner;
    std::shared_ptr<BridgeHub> m_hub;
    std::string m_favoritesFolder;
    FileSystem& m_files;
    // The state a window had before the program minimised it, by handle.
    std::map<Hwnd, std::string> m_beforeMinimize;
    // The bridged tab activated last, while it is the active window.
    std::weak_ptr<BridgePeer> m_activePeer;
    std::optional<std::int64_t> m_activeTab;
};

} // namespace automation::bridged
