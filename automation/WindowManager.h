#pragma once

#include "automation/Error.h"
#include "automation/Types.h"

#include <cstdint>
#include <string>

namespace automation {

// SetWindowPos insertion values and flags the program uses.
inline constexpr Hwnd HWND_TOPMOST = -1;
inline constexpr Hwnd HWND_NOTOPMOST = -2;
inline constexpr unsigned SWP_NOSIZE = 0x1;
inline constexpr unsigned SWP_NOMOVE = 0x2;

// The screen as the program measures it: its size in twips and the twips per pixel.
struct ScreenMetrics
{
    double widthTwips = 15360;
    double heightTwips = 11520;
    int twipsPerPixelX = 15;
    int twipsPerPixelY = 15;
};

// What the window manager reads from and does to the program's own main window.
// The main window implements it; the backend is handed it once the window exists.
class HostWindow
{
public:
    virtual ~HostWindow() = default;

    // The native window id (an X11 window), 0 when the platform has none.
    virtual std::uint64_t nativeId() const = 0;
    virtual std::string caption() const = 0;
    virtual bool isShown() const = 0;
    virtual WindowState state() const = 0;
    // Minimises, maximises or restores the window, as the window manager would.
    virtual void setState(WindowState state) = 0;
    // Outer bounds in screen pixels.
    virtual Rect frameBounds() const = 0;
    // Brings the window forward and gives it the focus.
    virtual void bringForward() = 0;
};

// The window-manager calls of the program, on top-level windows by handle.
class WindowManager
{
public:
    virtual ~WindowManager() = default;

    // Tells the backend which window is the program's own; returns its handle.
    virtual Hwnd attachMainWindow(HostWindow& window) = 0;
    // The main window is going away; the backend forgets it.
    virtual void detachMainWindow() = 0;

    // Changes the window's place in the z-order (HWND_TOPMOST, HWND_NOTOPMOST) and,
    // unless the flags say otherwise, its position and size.
    virtual void SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                              unsigned flags) = 0;
    virtual bool IsZoomed(Hwnd hwnd) = 0;
    virtual bool IsIconic(Hwnd hwnd) = 0;
    // Minimises the window (it is not destroyed).
    virtual void CloseWindow(Hwnd hwnd) = 0;
    // Restores a minimised window to its previous size and place and activates it.
    virtual void OpenIcon(Hwnd hwnd) = 0;
    // Puts the window in the state: minimised, maximised or normal (from either). A
    // manager that knows only minimise and restore raises Error for what it cannot do.
    virtual void ShowWindow(Hwnd hwnd, WindowState state)
    {
        if (state == WindowState::Minimized) {
            CloseWindow(hwnd);
        } else if (IsIconic(hwnd)) {
            OpenIcon(hwnd);
        }
        if (state == WindowState::Maximized && !IsZoomed(hwnd))
            throw Error("ShowWindow", "this desktop cannot maximise the window");
        if (state == WindowState::Normal && IsZoomed(hwnd))
            throw Error("ShowWindow", "this desktop cannot restore a maximised window");
    }
    // Activates the top-level window with this caption; raises Error when none has it.
    virtual void AppActivate(const std::string& caption) = 0;
    // Sends keystrokes, in the notation "%A{ENTER}{TAB}name{ENTER}", to the active window.
    virtual void SendKeys(const std::string& keys) = 0;
    virtual ScreenMetrics screen() = 0;

    // Opens a batch: until it is committed, SetWindowPos, CloseWindow, OpenIcon and the
    // desktop's arrangements send their changes without waiting for them to be carried
    // out. Batches nest; only the outermost commit waits. A manager whose changes are
    // done before the call returns has nothing to batch.
    virtual void beginBatch() {}
    // Waits once, up to one deadline, until every change sent in the batch is carried
    // out (or its window is gone). Never raises: a change that fails is skipped, as a
    // failing step of a command over many windows is.
    virtual void commitBatch() {}
};

} // namespace automation
