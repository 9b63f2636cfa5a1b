#pragma once

#include "automation/WindowManager.h"

namespace automation {
class FileSystem;
}

namespace automation::sim {

class SimClock;
class SimState;

// The window manager of the simulated desktop: states, z-order and activation by
// handle or caption, and the browser's answer to the add-to-favourites keystrokes.
class SimWindowManager : public WindowManager
{
public:
    // The favourite files are written to disk, unrecorded, when the clock says so.
    SimWindowManager(SimState& state, SimClock& clock, FileSystem& disk)
        : m_state(state), m_clock(clock), m_disk(disk)
    {}

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

private:
    bool recordHandleCall(const char* op, Hwnd hwnd, const std::string& id);
    void answerFavoriteKeys(const std::string& keys);

    SimState& m_state;
    SimClock& m_clock;
    FileSystem& m_disk;
};

} // namespace automation::sim
