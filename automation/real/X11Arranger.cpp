#include "automation/real/X11Arranger.h"

#include "automation/x11/X11Desktop.h"

namespace automation {

X11Arranger::X11Arranger(x11::X11Desktop& desktop) : m_desktop(desktop)
{
    m_desktop.setArrangeLeavesMainWindow(true);
}

void X11Arranger::MinimizeAll()
{
    m_desktop.MinimizeAll();
}

void X11Arranger::TileVertically()
{
    m_desktop.TileVertically();
}

void X11Arranger::TileHorizontally()
{
    m_desktop.TileHorizontally();
}

void X11Arranger::CascadeWindows()
{
    m_desktop.CascadeWindows();
}

} // namespace automation
