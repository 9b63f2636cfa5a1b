#include "automation/sim/SimShell.h"

#include "automation/sim/SimShellWindows.h"
#include "automation/sim/SimState.h"

#include <algorithm>
#include <cmath>

namespace automation::sim {

std::shared_ptr<ShellWindows> SimShell::windows()
{
    return std::make_shared<SimShellWindows>(m_state);
}

void SimShell::MinimizeAll()
{
    arrange("MinimizeAll");
}

void SimShell::TileVertically()
{
    arrange("TileVertically");
}

void SimShell::TileHorizontally()
{
    arrange("TileHorizontally");
}

void SimShell::CascadeWindows()
{
    arrange("CascadeWindows");
}

// The shell's own arrangements, over every open top-level window that is shown and
// not minimised, in z-order. The program's main window is left where it is.
void SimShell::arrange(const char* how)
{
    const std::string op = how;
    m_state.record({{"op", op}});
    if (op == "MinimizeAll") {
        for (const std::string& id : std::vector<std::string>(m_state.zorder()))
            m_state.minimize(id);
        m_state.clearActive();
        return;
    }

    std::vector<SimWindow*> windows;
    for (const std::string& id : m_state.zorder()) {
        SimWindow* window = id == SimState::kMain ? nullptr : m_state.find(id);
        if (window && window->state != WindowState::Minimized &&
            window->props[BrowserProperty::Visible])
            windows.push_back(window);
    }
    const int n = static_cast<int>(windows.size());
    if (n == 0)
        return;
    const auto [sw, sh] = m_state.screenPixels();
    if (op == "CascadeWindows") {
        const int width = sw * 3 / 4;
        const int height = sh * 3 / 4;
        // Back to front, so the front window ends lowest and rightmost, still in front.
        for (int i = 0; i < n; ++i) {
            SimWindow* window = windows[static_cast<std::size_t>(n - 1 - i)];
            const int step = (25 * i) % std::max(25, std::min(sw - width, sh - height) + 1);
            window->state = WindowState::Normal;
            window->bounds = Rect{step, step, width, height};
        }
        return;
    }
    // Side by side (vertically) or stacked (horizontally); more than three windows make
    // a grid of about equal rows and columns.
    const int lines = n <= 3 ? n : static_cast<int>(std::ceil(std::sqrt(n)));
    const int across = (n + lines - 1) / lines;
    const bool vertical = op == "TileVertically";
    const int cols = vertical ? lines : across;
    const int rows = vertical ? across : lines;
    for (int i = 0; i < n; ++i) {
        const int col = vertical ? i % cols : i / rows;
        const int row = vertical ? i / cols : i % rows;
        SimWindow* window = windows[static_cast<std::size_t>(i)];
        window->state = WindowState::Normal;
        window->bounds = Rect{col * (sw / cols), row * (sh / rows), sw / cols, sh / rows};
    }
}

} // namespace automation::sim
