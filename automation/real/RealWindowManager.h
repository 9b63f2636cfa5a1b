#pragma once

#include "automation/WindowManager.h"

namespace automation::chromium {
class ChromiumWindows;
}
namespace automation::x11 {
class X11Desktop;
}

namespace automation {

// The window manager of the real desktop: a call on a browser window's handle goes to
// Chromium, any other to X11. The main window, its place in the z-order and the screen
// belong to X11; a browser's caption is matched to the tab showing that title.
class RealWindowManager : public WindowManager
{
public:
    RealWindowManager(x11::X11Desktop& desktop, chromium::ChromiumWindows& browsers);

    Hwnd attachMainWindow(HostWindow& window) override;
    void detachMainWindow() override;
    void SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                      unsigned flags) override;
    bool IsZoomed(Hwnd hwnd) override;
    bool IsIconic(Hwnd hwnd) override;
    void CloseWindow(Hwnd hwnd) override;
    void OpenIcon(Hwnd hwnd) override;
    // A browser window takes any state; another window what X11 can do of it.
    void ShowWindow(Hwnd hwnd, WindowState state) override;
    // "<title> - Microsoft Internet Explorer" activates the browser tab showing that
    // title; any other caption an X11 window.
    void AppActivate(const std::string& caption) override;
    // To the browser when a browser tab was the last window activated, else to X11.
    void SendKeys(const std::string& keys) override;
    ScreenMetrics screen() override;
    // Both the browser and the X11 desktop batch their changes.
    void beginBatch() override;
    void commitBatch() override;
    // Off, every change is awaited on its own, one window after another: for measuring
    // what the batches save. Switched only while no batch is open.
    void setBatching(bool on) { m_batching = on; }

private:
    x11::X11Desktop& m_desktop;
    chromium::ChromiumWindows& m_browsers;
    bool m_browserActive = false;
    bool m_batching = true;
};

} // namespace automation
