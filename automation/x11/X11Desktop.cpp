#include "automation/x11/X11Desktop.h"

#include "automation/Error.h"
#include "automation/WindowBatch.h"
#include "automation/x11/TileLayout.h"

#include <algorithm>
#include <cmath>
#include <thread>

namespace automation::x11 {
namespace {

using Clock = std::chrono::steady_clock;

// The states in which a window fills the screen and keeps its frame where it is.
constexpr unsigned kFilling = kMaximized | kFullscreen;
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
    WindowBatch batch(*this);

    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
        const bool above = insertAfter == HWND_TOPMOST;
        if (withdrawn) {
            m_x->writeNetState(window, kAbove, above);
        } else {
            m_x->requestNetState(window, kAbove, above);
            expect({Change::Kind::Above, Placement{window, {}, false, false, {}}, above, false});
        }
    }

    const bool move = !(flags & SWP_NOMOVE);
    const bool size = !(flags & SWP_NOSIZE);
    if (!move && !size)
        return;
    const Placement placement{window, Rect{x, y, cx, cy}, move, size, {}};
    if (withdrawn) {
        // The window manager sees the request first and passes it on.
        const auto opt = [](bool wanted, int value) {
            return wanted ? std::optional<int>(value) : std::nullopt;
        };
        m_x->configure(window, opt(move, x), opt(move, y), opt(size, cx), opt(size, cy));
        expect({Change::Kind::Configure, placement, false, false});
        return;
    }
    place({placement});
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
    WindowBatch batch(*this);
    m_x->requestIconify(window);
    expect({Change::Kind::Iconify, Placement{window, {}, false, false, {}}, false, false});
}

void X11Desktop::OpenIcon(Hwnd hwnd)
{
    const XWindow window = windowOf(hwnd);
    const auto state = m_x->icccmState(window);
    if (!state || *state == IcccmState::Withdrawn)
        return;
    WindowBatch batch(*this);
    // Activation brings a minimised window back in the state it had, then focuses it.
    // It is asked once the rest of the batch is carried out: a window manager that is
    // still minimising the window with the focus would hand the focus on after it.
    expect({Change::Kind::Restore, Placement{window, {}, false, false, {}}, true, false});
}

// ---- batches ----

void X11Desktop::beginBatch()
{
    ++m_batchDepth;
}

void X11Desktop::commitBatch()
{
    if (m_batchDepth == 0 || --m_batchDepth > 0)
        return;
    std::vector<Change> pending = std::move(m_pending);
    m_pending.clear();
    if (pending.empty()) {
        m_x->flush();
        return;
    }
    ++m_waits;
    const auto until = deadline();
    std::vector<Change> restores;
    for (const Change& change : pending) {
        if (change.kind == Change::Kind::Restore)
            restores.push_back(change);
    }
    std::erase_if(pending,
                  [](const Change& change) { return change.kind == Change::Kind::Restore; });
    // Every change must hold at once: a placement the window manager undid while it
    // carried out another is asked again.
    const auto allCarriedOut = [&](std::vector<Change>& changes) {
        return [&] {
            bool done = true;
            for (Change& change : changes)
                done = carriedOut(change) && done;
            return done;
        };
    };
    bool done = pending.empty() || settle(allCarriedOut(pending), until);
    if (!restores.empty()) {
        for (const Change& restore : restores)
            m_x->requestActivate(restore.placement.window);
        done = settle(allCarriedOut(restores), until) && done;
    }
    if (!done && !m_x->broken())
        ++m_waitsTimedOut;
}

void X11Desktop::expect(Change change)
{
    const XWindow window = change.placement.window;
    // A minimise undoes a restore asked earlier in the batch, which is then never sent;
    // a restore comes after the minimise, once it is carried out.
    if (change.kind == Change::Kind::Iconify || change.kind == Change::Kind::Restore) {
        std::erase_if(m_pending, [&](const Change& earlier) {
            return earlier.placement.window == window &&
                   (earlier.kind == change.kind || earlier.kind == Change::Kind::Restore);
        });
    }
    // A later place, size or layer of the window is the one that must hold.
    if (change.kind == Change::Kind::Above) {
        std::erase_if(m_pending, [&](const Change& earlier) {
            return earlier.placement.window == window && earlier.kind == Change::Kind::Above;
        });
    }
    if (change.kind == Change::Kind::Place || change.kind == Change::Kind::Configure) {
        for (Change& earlier : m_pending) {
            if (earlier.placement.window != window || earlier.kind != change.kind)
                continue;
            earlier.placement.move = earlier.placement.move && !change.placement.move;
            earlier.placement.size = earlier.placement.size && !change.placement.size;
        }
        std::erase_if(m_pending, [&](const Change& earlier) {
            return earlier.placement.window == window && earlier.kind == change.kind &&
                   !earlier.placement.move && !earlier.placement.size;
        });
    }
    // One window ends active: the one restored last.
    if (change.kind == Change::Kind::Restore) {
        for (Change& earlier : m_pending) {
            if (earlier.kind == Change::Kind::Restore)
                earlier.wanted = false;
        }
    }
    m_pending.push_back(change);
}

bool X11Desktop::carriedOut(Change& change)
{
    const XWindow window = change.placement.window;
    const Placement& placement = change.placement;
    const Rect& want = placement.outer;
    const auto fits = [&](const Rect& bounds) {
        return (!placement.move || (bounds.left == want.left && bounds.top == want.top)) &&
               (!placement.size || (bounds.width == want.width && bounds.height == want.height));
    };
    switch (change.kind) {
    case Change::Kind::Above: {
        const auto bits = m_x->netState(window);
        return !bits || ((*bits & kAbove) != 0) == change.wanted;
    }
    case Change::Kind::Configure: {
        const auto bounds = m_x->clientBounds(window);
        return !bounds || fits(*bounds);
    }
    case Change::Kind::Iconify:
        return iconicDone(window);
    case Change::Kind::Restore: {
        const auto now = m_x->icccmState(window);
        if (!now)
            return true;
        return *now == IcccmState::Normal && !iconic(window) &&
               (!change.wanted || m_x->activeWindow() == window);
    }
    case Change::Kind::Place:
        break;
    }
    const auto bounds = frameBounds(window);
    if (!bounds || fits(*bounds))
        return true;
    // The window manager may publish the frame of the normal state only after the
    // state itself: a placement made with the old frame is made again with the new one.
    const FrameExtents frame = m_x->frameExtents(window);
    bool again = !(frame == placement.frame);
    if (change.filled) {
        const auto bits = m_x->netState(window);
        if (!bits || !(*bits & kFilling)) {
            change.filled = false;
            again = true;
        }
    }
    if (again) {
        change.placement.frame = frame;
        requestPlacement(change.placement);
    }
    return false;
}

Hwnd X11Desktop::findByCaption(const std::string& caption)
{
    std::vector<XWindow> windows = m_x->clientList(true);
    if (windows.empty())
        windows = m_x->clientList(false);
    // Stacking order runs bottom to top: the frontmost of several namesakes wins.
    const auto found = std::find_if(windows.rbegin(), windows.rend(), [&](XWindow window) {
        const auto name = m_x->name(window);
        return name && *name == caption;
    });
    return found == windows.rend() ? 0 : *found;
}

void X11Desktop::AppActivate(const std::string& caption)
{
    const XWindow window = windowOf(findByCaption(caption));
    if (window == 0)
        throw Error("AppActivate", "no window has the caption " + caption);
    m_x->requestActivate(window);
    bool gone = false;
    ++m_waits;
    const bool done = settle(
        [&] {
            gone = !m_x->exists(window);
            return gone || m_x->activeWindow() == window;
        },
        deadline());
    if (!done && !m_x->broken())
        ++m_waitsTimedOut;
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
    WindowBatch batch(*this);
    for (const XWindow window : arrangeable(false)) {
        m_x->requestIconify(window);
        expect({Change::Kind::Iconify, Placement{window, {}, false, false, {}}, false, false});
    }
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

void X11Desktop::arrange(Arrangement how)
{
    const std::vector<XWindow> windows = arrangeable(m_arrangeLeavesMain);
    if (windows.empty())
        return;
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
    WindowBatch batch(*this);
    place(placements);
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

void X11Desktop::place(const std::vector<Placement>& placements)
{
    // A window leaves the maximised state before it is put in place; the window manager
    // carries the two requests out in the order they were sent.
    for (Placement placement : placements) {
        const auto bits = m_x->netState(placement.window);
        const bool filled = bits && (*bits & kFilling);
        if (filled)
            m_x->requestNetState(placement.window, *bits & kFilling, false);
        placement.frame = m_x->frameExtents(placement.window);
        requestPlacement(placement);
        expect({Change::Kind::Place, placement, false, filled});
    }
}

} // namespace automation::x11
