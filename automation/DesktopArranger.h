#pragma once

namespace automation {

// The shell's desktop-wide arrangements, which belong to the window manager rather
// than to the browser: a desktop role, which the backend joining them hands in.
class DesktopArranger
{
public:
    virtual ~DesktopArranger() = default;

    // Minimises every top-level window of the desktop.
    virtual void MinimizeAll() = 0;
    // Arranges every top-level window that is not minimised.
    virtual void TileVertically() = 0;
    virtual void TileHorizontally() = 0;
    virtual void CascadeWindows() = 0;
};

} // namespace automation
