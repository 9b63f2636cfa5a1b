#pragma once

#include "automation/DesktopArranger.h"

namespace automation::x11 {
class X11Desktop;
}

namespace automation {

// The shell's desktop-wide arrangements, carried out by the X11 desktop. Tiling and
// cascading leave the program's main window where it is: the program minimises it
// before it asks for them anyway, and the window manager may not have finished that
// yet. Minimising everything includes it.
class X11Arranger : public DesktopArranger
{
public:
    explicit X11Arranger(x11::X11Desktop& desktop);

    void MinimizeAll() override;
    void TileVertically() override;
    void TileHorizontally() override;
    void CascadeWindows() override;

private:
    x11::X11Desktop& m_desktop;
};

} // namespace automation
