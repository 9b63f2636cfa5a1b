#include "automation/x11/X11Desktop.h"

#include "automation/Error.h"
#include "automation/x11/TileLayout.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace automation::x11 {
namespace {

using Clock = std::chrono::steady_clock;

// X11 resource ids have their top three bits clear; larger handles belong to someone
// else (the browser's windows are numbered from 0x40000000).
constexpr Hwnd kLargestXid = 0x1FFFFFFF;
// Every desktop at once, as _NET_WM_DESKTOP says it.
constexpr std::uint32_t kAllDesktops = 0xFFFFFFFF;
// The cascade's step when no window has a title bar to step by.
constexpr int kDefaultCascadeStep = 25;
// SendKeys keeps this many of the latest keystroke strings.
constexpr std::size_t kKeptKeys = 64;

} // namespace

X11Desktop::Connected X11Desktop::connect(const std::string& display)
{
    std::string error;
    auto connection = X11Connection::open(display, error);
    if (!connection)
        return {nullptr, error};
    if (!connection->hasWindowManager())
        return {nullptr, "no EWMH window manager runs on X11 display " + connection->displayName()};
    return {std::make_unique<X11Desktop>(std::move(connection)), {}};
}

X11Desktop::X11Desktop(std::unique_ptr<X11Connection> connection) : m_x(std::move(connection)) {}

X11Desktop::~X11Desktop() = default;

XWindow X11Desktop::windowOf(Hwnd hwnd)
{
    if (hwnd <= 0 || hwnd > kLargestXid)
        return 0;
    return static_cast<XWindow>(hwnd);
}

std::chrono::steady_clock::time_point X11Desktop::deadline() const
{
    return Clock::now() + m_settleTimeout;
}

bool X11Desktop::settle(const std::function<bool()>& done, Clock::time_point deadline)
{
    for (;;) {
        m_x->flush();
        if (m_x->broken())
            return false;
        if (done())
            return true;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

bool X11Desktop::iconic(XWindow window)
{
    const auto state = m_x->icccmState(window);
    if (state && *state == IcccmState::Iconic)
        return true;
    const auto bits = m_x->netState(window);
    return bits && (*bits & kHidden);
}

// The window manager publishes a minimised window's _NET_WM_STATE and its WM_STATE one
// after the other; WM_STATE comes from the manager's own hand and is waited for.
bool X11Desktop::iconicDone(XWindow window)
{
    const auto state = m_x->icccmState(window);
    return !state || *state == IcccmState::Iconic;
}

// ---- the main window ----

Hwnd X11Desktop::attachMainWindow(HostWindow& window)
{
    const std::uint64_t id = window.nativeId();
    m_main = id <= static_cast<std::uint64_t>(kLargestXid) ? windowOf(static_cast<Hwnd>(id)) : 0;
    return m_main;
}

void X11Desktop::detachMainWindow()
{
    m_main = 0;
}

// ---- window-manager calls ----

void X11Desktop::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                              unsigned flags)
{
    const XWindow window = windowOf(hwnd);
    const auto state = m_x->icccmState(window);
    if (!state)
        return;
    // A window that is not mapped has no window manager to ask yet: its properties and
    // geometry are ours to write, and the window manager reads them when it maps.
    const bool withdrawn = *state == IcccmState::Withdrawn;
    const auto until = deadline();

    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        const bool above = insertAfter == HWND_TOPMOST;
        if (withdrawn) {
            m_x->writeNetState(window, kAbove, above);
        } else {
            m_x->requestNetState(window, kAbove, above);
            settle(
                [&] {
                    const auto bits = m_x->netState(window);
                    return !bits || ((*bits & kAbove) != 0) == above;
                },
                until);
        }
    }

    const bool move = !(flags & SWP_NOMOVE);
    const bool size = !(flags & SWP_NOSIZE);
    if (!move && !size)
        return;
    const auto opt = [](bool wanted, int value) {
        return wanted ? std::optional<int>(value) : std::nullopt;
    };
    if (withdrawn) {
        // The window manager sees the request first and passes it on.
        m_x->configure(window, opt(move, x), opt(move, y), opt(size, cx), opt(size, cy));
        settle(
            [&] {
                const auto bounds = m_x->clientBounds(window);
                return !bounds || ((!move || (bounds->left == x && bounds->top == y)) &&
                                   (!size || (bounds->width == cx && bounds->height == cy)));
            },
            until);
        return;
    }
    place({Placement{window, Rect{x, y, cx, cy}, move, size, {}}}, until);
}

bool X11Desktop::IsZoomed(Hwnd hwnd)
{
    const XWindow window = windowOf(hwnd);
    const auto bits = m_x->netState(window);
    // A minimised window counts as minimised, whatever it will come back as.
    return bits && (*bits & kMaximized) == kMaximized && !iconic(window);
}

bool X11Desktop::IsIconic(Hwnd hwnd)
{
    return iconic(windowOf(hwnd));
}

void X11Desktop::CloseWindow(Hwnd hwnd)
{
    const XWindow window = windowOf(hwnd);
    const auto state = m_x->icccmState(window);
    // The window manager minimises only the windows it manages.
    if (!state || *state != IcccmState::Normal)
        return;
    m_x->requestIconify(window);
    settle([&] { return iconicDone(window); }, deadline());
}

void X11Desktop::OpenIcon(Hwnd hwnd)
{
    const XWindow window = windowOf(hwnd);
    const auto state = m_x->icccmState(window);
    if (!state || *state == IcccmState::Withdrawn)
        return;
    // Activation brings a minimised window back in the state it had, then focuses it.
    m_x->requestActivate(window);
    settle(
        [&] {
            const auto now = m_x->icccmState(window);
            if (!now)
                return true;
            return *now == IcccmState::Normal && !iconic(window) && m_x->activeWindow() == window;
        },
        deadline());
}

Hwnd X11Desktop::findByCaption(const std::string& caption)
{
    std::vector<XWindow> windows = m_x->clientList(true);
    if (windows.empty())
        windows = m_x->clientList(false);
    // Stacking order runs bottom to top: the frontmost of several namesakes wins.
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto name = m_x->name(*it);
        if (name && *name == caption)
            return *it;
    }
    return 0;
}

void X11Desktop::AppActivate(const std::string& caption)
{
    const XWindow window = windowOf(findByCaption(caption));
    if (window == 0)
        throw Error("AppActivate", "no window has the caption " + caption);
    m_x->requestActivate(window);
    bool gone = false;
    settle(
        [&] {
            gone = !m_x->exists(window);
            return gone || m_x->activeWindow() == window;
        },
        deadline());
    if (gone)
        throw Error("AppActivate", "the window with the caption " + caption + " closed");
}

void X11Desktop::SendKeys(const std::string& keys)
{
    // No window outside the browser answers the program's keystrokes; they are kept
    // only so that what was sent can be seen.
    if (m_sentKeys.size() == kKeptKeys)
        m_sentKeys.erase(m_sentKeys.begin());
    m_sentKeys.push_back(keys);
}

ScreenMetrics X11Desktop::screen()
{
    const double dpi = m_x->dotsPerInch();
    const int perPixel = std::max(1, static_cast<int>(std::lround(1440.0 / dpi)));
    ScreenMetrics metrics;
    metrics.twipsPerPixelX = perPixel;
    metrics.twipsPerPixelY = perPixel;
    metrics.widthTwips = static_cast<double>(m_x->screenWidth()) * perPixel;
    metrics.heightTwips = static_cast<double>(m_x->screenHeight()) * perPixel;
    return metrics;
}

std::optional<Rect> X11Desktop::frameBounds(Hwnd hwnd)
{
    const XWindow window = windowOf(hwnd);
    const auto client = m_x->clientBounds(window);
    if (!client)
        return std::nullopt;
    const FrameExtents frame = m_x->frameExtents(window);
    return Rect{client->left - frame.left, client->top - frame.top,
                client->width + frame.left + frame.right,
                client->height + frame.top + frame.bottom};
}

// ---- the shell's arrangements ----

std::vector<XWindow> X11Desktop::arrangeable(bool leaveOutMain)
{
    std::vector<XWindow> windows = m_x->clientList(true);
    if (windows.empty())
        windows = m_x->clientList(false);
    std::reverse(windows.begin(), windows.end());
    const std::uint32_t current = m_x->currentDesktop();
    std::erase_if(windows, [&](XWindow window) {
        if (leaveOutMain && window == m_main)
            return true;
        const auto kind = m_x->kind(window);
        if (!kind || *kind != WindowKind::Normal)
            return true;
        const auto desktop = m_x->desktopOf(window);
        if (desktop && *desktop != kAllDesktops && *desktop != current)
            return true;
        return iconic(window);
    });
    return windows;
}

void X11Desktop::MinimizeAll()
{
    const std::vector<XWindow> windows = arrangeable(false);
    for (const XWindow window : windows)
        m_x->requestIconify(window);
    settle(
        [&] {
            return std::all_of(windows.begin(), windows.end(),
                               [&](XWindow window) { return iconicDone(window); });
        },
        deadline());
}

void X11Desktop::TileVertically()
{
    arrange(Arrangement::SideBySide);
}

void X11Desktop::TileHorizontally()
{
    arrange(Arrangement::Stacked);
}

void X11Desktop::CascadeWindows()
{
    arrange(Arrangement::Cascade);
}

void X11Desktop::leaveMaximized(const std::vector<XWindow>& windows, Clock::time_point deadline)
{
    constexpr unsigned kFilling = kMaximized | kFullscreen;
    std::vector<XWindow> changed;
    for (const XWindow window : windows) {
        const auto bits = m_x->netState(window);
        if (bits && (*bits & kFilling)) {
            m_x->requestNetState(window, *bits & kFilling, false);
            changed.push_back(window);
        }
    }
    if (changed.empty())
        return;
    settle(
        [&] {
            return std::all_of(changed.begin(), changed.end(), [&](XWindow window) {
                const auto bits = m_x->netState(window);
                return !bits || !(*bits & kFilling);
            });
        },
        deadline);
}

void X11Desktop::arrange(Arrangement how)
{
    const std::vector<XWindow> windows = arrangeable(m_arrangeLeavesMain);
    if (windows.empty())
        return;
    const auto until = deadline();
    // The cascade steps by a title bar, so that every title stays in sight.
    int titleBar = 0;
    for (const XWindow window : windows)
        titleBar = std::max(titleBar, m_x->frameExtents(window).top);
    const Rect area = m_x->workArea();
    const int count = static_cast<int>(windows.size());
    const std::vector<Rect> cells =
        how == Arrangement::Cascade
            ? layout::cascade(area, count, titleBar > 0 ? titleBar : kDefaultCascadeStep)
            : layout::tile(area, count, how == Arrangement::SideBySide);

    std::vector<Placement> placements;
    for (std::size_t i = 0; i < windows.size(); ++i)
        placements.push_back(Placement{windows[i], cells[i], true, true, {}});
    place(std::move(placements), until);
}

void X11Desktop::requestPlacement(const Placement& placement)
{
    const Rect client = layout::clientSizeFor(placement.outer, placement.frame);
    const auto opt = [](bool wanted, int value) {
        return wanted ? std::optional<int>(value) : std::nullopt;
    };
    m_x->requestMoveResize(placement.window, opt(placement.move, client.left),
                           opt(placement.move, client.top), opt(placement.size, client.width),
                           opt(placement.size, client.height));
}

void X11Desktop::place(std::vector<Placement> placements, Clock::time_point deadline)
{
    std::vector<XWindow> windows;
    for (const Placement& placement : placements)
        windows.push_back(placement.window);
    leaveMaximized(windows, deadline);
    for (Placement& placement : placements) {
        placement.frame = m_x->frameExtents(placement.window);
        requestPlacement(placement);
    }
    // The window manager may publish the frame of the normal state only after the
    // state itself: a placement made with the old frame is made again with the new one.
    settle(
        [&] {
            bool done = true;
            for (Placement& placement : placements) {
                const auto bounds = frameBounds(placement.window);
                const Rect& want = placement.outer;
                if (!bounds ||
                    ((!placement.move || (bounds->left == want.left && bounds->top == want.top)) &&
                     (!placement.size ||
                      (bounds->width == want.width && bounds->height == want.height))))
                    continue;
                done = false;
                const FrameExtents frame = m_x->frameExtents(placement.window);
                if (!(frame == placement.frame)) {
                    placement.frame = frame;
                    requestPlacement(placement);
                }
            }
            return done;
        },
        deadline);
}

} // namespace automation::x11
