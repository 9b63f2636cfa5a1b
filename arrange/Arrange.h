#pragma once

#include "automation/Types.h"

#include <string>

namespace automation {
class Shell;
class WindowManager;
} // namespace automation

namespace tabulon {

class Module1;
class WebWindowList;

// The shell's own arrangements of every desktop window that is not minimised.
enum class ShellArrangement
{
    TileVertically,
    TileHorizontally,
    CascadeWindows
};

// Minimises the main window so that the shell leaves it out, has the shell arrange
// the desktop, then restores the main window in front. A shell that fails arranges
// nothing; the main window still comes back.
void arrangeByShell(automation::Shell& shell, Module1& module, automation::Hwnd mainWindow,
                    ShellArrangement how);

// The caption of a browser's top-level window showing a page with this title.
std::string browserCaption(const std::string& title);

// Lays the listed web windows out in an even grid over the screen, less a strip at the
// bottom. Every listed window is made resizable first; minimised ones take no cell.
// Any step that fails is skipped.
void tileWebWindows(const WebWindowList& list, automation::WindowManager& windows);

// Cascades the listed web windows from the top-left corner, 25 pixels apart, each at a
// size that depends on the number of rows. A window whose height cannot be read while
// counting ends the command before anything moves; later steps that fail are skipped.
void cascadeWebWindows(const WebWindowList& list, automation::WindowManager& windows);

} // namespace tabulon
