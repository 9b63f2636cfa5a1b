#pragma once

#include "automation/Types.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace automation::x11 {

// An X11 window id; ids fit in 29 bits, 0 is "no window".
using XWindow = std::uint32_t;

// The _NET_WM_STATE atoms the program reads or changes, as bits.
enum NetState : unsigned
{
    kMaximizedVert = 1u << 0,
    kMaximizedHorz = 1u << 1,
    kHidden = 1u << 2,
    kAbove = 1u << 3,
    kFullscreen = 1u << 4,
    kMaximized = kMaximizedVert | kMaximizedHorz,
};

// What the window manager reads the window as (_NET_WM_WINDOW_TYPE).
enum class WindowKind
{
    Normal,
    Dock,
    Desktop,
};

// ICCCM WM_STATE; Withdrawn also stands for "no WM_STATE at all".
enum class IcccmState
{
    Withdrawn = 0,
    Normal = 1,
    Iconic = 3,
};

// The window manager's decoration around a client window, in pixels.
struct FrameExtents
{
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    friend bool operator==(const FrameExtents&, const FrameExtents&) = default;
};

// One connection to an X server with the EWMH atoms, in plain types. Reads of a window
// that is gone (or of a broken connection) give nullopt or an empty value; requests on
// such a window do nothing. X errors never escape as anything else.
class X11Connection
{
public:
    // Connects to the display (empty: $DISPLAY). Null with the reason in error when
    // there is no such display.
    static std::unique_ptr<X11Connection> open(const std::string& display, std::string& error);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    // Whether the connection to the server has failed (the server went away).
    bool broken() const;
    // The display name as given or taken from $DISPLAY.
    const std::string& displayName() const { return m_displayName; }

    XWindow root() const;
    // The root window's size in pixels.
    int screenWidth() const;
    int screenHeight() const;
    // Xft.dpi from the resource database, 96 when it is not set.
    double dotsPerInch();
    // Whether an EWMH window manager runs (_NET_SUPPORTING_WM_CHECK points at a
    // window that points at itself).
    bool hasWindowManager();

    // _NET_CLIENT_LIST, or _NET_CLIENT_LIST_STACKING (bottom to top).
    std::vector<XWindow> clientList(bool stacking);
    // _NET_ACTIVE_WINDOW, 0 when none.
    XWindow activeWindow();
    // _NET_WORKAREA of the current desktop; the whole screen when unset.
    Rect workArea();
    // _NET_CURRENT_DESKTOP, 0 when unset.
    std::uint32_t currentDesktop();

    // Whether the window exists.
    bool exists(XWindow window);
    // The caption: _NET_WM_NAME, else WM_NAME (Latin-1 made UTF-8).
    std::optional<std::string> name(XWindow window);
    std::optional<unsigned> netState(XWindow window);
    std::optional<IcccmState> icccmState(XWindow window);
    std::optional<WindowKind> kind(XWindow window);
    // _NET_WM_DESKTOP; 0xFFFFFFFF is every desktop; nullopt when unset or gone.
    std::optional<std::uint32_t> desktopOf(XWindow window);
    // _NET_FRAME_EXTENTS; zeros when unset.
    FrameExtents frameExtents(XWindow window);
    // The client area in root coordinates.
    std::optional<Rect> clientBounds(XWindow window);

    // ICCCM WM_CHANGE_STATE to IconicState: asks the window manager to minimise it.
    void requestIconify(XWindow window);
    // _NET_WM_STATE client message adding (or removing) the given bits.
    void requestNetState(XWindow window, unsigned bits, bool add);
    // Writes _NET_WM_STATE itself, for a window that is not mapped yet. False when the
    // window is gone.
    bool writeNetState(XWindow window, unsigned bits, bool add);
    // _NET_ACTIVE_WINDOW client message, as a pager would send it.
    void requestActivate(XWindow window);
    // _NET_MOVERESIZE_WINDOW with north-west gravity: the frame's outer corner goes to
    // (x, y); width and height are the client's. Absent values are left as they are.
    void requestMoveResize(XWindow window, std::optional<int> x, std::optional<int> y,
                           std::optional<int> width, std::optional<int> height);
    // ConfigureWindow on an unmanaged window. False when the window is gone.
    bool configure(XWindow window, std::optional<int> x, std::optional<int> y,
                   std::optional<int> width, std::optional<int> height);
    // Sends what is queued and throws away events and errors nobody waits for.
    void flush();

private:
    struct Impl;
    explicit X11Connection(std::unique_ptr<Impl> impl, std::string displayName);

    std::unique_ptr<Impl> m_impl;
    std::string m_displayName;
};

} // namespace automation::x11
