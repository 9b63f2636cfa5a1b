#pragma once

#include "automation/WindowManager.h"
#include "automation/x11/X11Connection.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace automation::x11 {

// The desktop on X11 with an EWMH window manager: the window-manager calls on X11
// windows by id, the shell's arrangements over every managed top-level window, and
// the screen. Every call stays sound when a window vanishes under it: reads report
// "no such window", changes do nothing.
class X11Desktop : public WindowManager
{
public:
    // The outcome of connect(): a desktop, or the reason there is none.
    struct Connected
    {
        std::unique_ptr<X11Desktop> desktop;
        std::string error;
    };

    // Connects to the display (empty: $DISPLAY) and checks that an EWMH window manager
    // runs there.
    static Connected connect(const std::string& display = {});
    explicit X11Desktop(std::unique_ptr<X11Connection> connection);
    ~X11Desktop() override;

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
    ScreenMetrics screen() override;
    // Outside a batch every call is a batch of its own: it returns once the window
    // manager has done what it asked, or its deadline passed.
    void beginBatch() override;
    void commitBatch() override;

    // The shell's arrangements, over every managed top-level window on the current
    // desktop that is not a dock, not the desktop and not minimised.
    // Minimises every such window, the main window included.
    void MinimizeAll();
    // Tiles them side by side.
    void TileVertically();
    // Tiles them one above the other.
    void TileHorizontally();
    void CascadeWindows();
    // Whether the three arrangements leave the program's main window where it is.
    void setArrangeLeavesMainWindow(bool leave) { m_arrangeLeavesMain = leave; }

    // The top-level window with this caption, the frontmost of several; 0 when none.
    Hwnd findByCaption(const std::string& caption);
    // The window's outer bounds, frame included; nullopt when it is gone.
    std::optional<Rect> frameBounds(Hwnd hwnd);
    // The keystrokes SendKeys was given, oldest first.
    const std::vector<std::string>& sentKeys() const { return m_sentKeys; }
    // How long a call waits at most for the window manager to carry out a change.
    void setSettleTimeout(std::chrono::milliseconds timeout) { m_settleTimeout = timeout; }
    // How often the desktop has waited for the window manager (a batch waits once, to
    // one deadline), and how many of those waits ran out of time.
    int waits() const { return m_waits; }
    int waitsTimedOut() const { return m_waitsTimedOut; }
    X11Connection& connection() { return *m_x; }

private:
    enum class Arrangement
    {
        SideBySide,
        Stacked,
        Cascade
    };

    // Where one window's outer frame is to go; move or size alone leave the rest.
    struct Placement
    {
        XWindow window = 0;
        Rect outer;
        bool move = true;
        bool size = true;
        FrameExtents frame;
    };

    // A change asked of the window manager and not yet seen carried out.
    struct Change
    {
        enum class Kind
        {
            // _NET_WM_STATE_ABOVE set (wanted) or cleared.
            Above,
            // An unmapped window configured by the program itself: placement.outer is
            // its client area.
            Configure,
            // A managed window's frame put in place.
            Place,
            Iconify,
            // Back from minimised; also the active window when wanted. Sent at the
            // commit.
            Restore,
        };
        Kind kind = Kind::Place;
        Placement placement;
        bool wanted = false;
        // The window filled the screen when it was placed: once it no longer does, the
        // placement is asked again, for a window manager that ignored it meanwhile.
        bool filled = false;
    };

    // The X11 window of a handle; 0 when the handle cannot be one.
    static XWindow windowOf(Hwnd hwnd);
    bool iconic(XWindow window);
    // Whether a minimise asked of the window is complete (or the window is gone).
    bool iconicDone(XWindow window);
    // Windows the arrangements act on, frontmost first.
    std::vector<XWindow> arrangeable(bool leaveOutMain);
    void arrange(Arrangement how);
    // Takes the windows out of the maximised state and puts their frames in place.
    void place(const std::vector<Placement>& placements);
    void requestPlacement(const Placement& placement);
    // Adds a change to the open batch. What a later change of the same window asks
    // replaces what an earlier one asked (a place a place, a minimise a restore), and
    // only the last restore of the batch must end active. Restores are asked at the
    // commit, after the batch's other changes are carried out.
    void expect(Change change);
    // Whether the change is carried out (or its window gone); asks again for a
    // placement the window manager may have undone.
    bool carriedOut(Change& change);
    // Polls done() until it holds or the deadline passes; false on time-out.
    bool settle(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
    std::chrono::steady_clock::time_point deadline() const;

    std::unique_ptr<X11Connection> m_x;
    XWindow m_main = 0;
    bool m_arrangeLeavesMain = false;
    std::chrono::milliseconds m_settleTimeout{500};
    std::vector<std::string> m_sentKeys;
    int m_batchDepth = 0;
    std::vector<Change> m_pending;
    int m_waits = 0;
    int m_waitsTimedOut = 0;
};

} // namespace automation::x11
