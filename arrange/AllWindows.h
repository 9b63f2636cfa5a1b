#pragma once

#include "automation/Types.h"

namespace automation {
class Shell;
}

namespace tabulon {

class ClosingGroup;
class Module1;
class WebWindowList;

// The commands over every listed web window. Rows above the 20th have no browser
// object and are passed over; a window that fails (closed since the list was built)
// is skipped and the command goes on with the next.

// Has the shell minimise every desktop window, then brings the main window back in
// front (minimised and restored at once).
void minimizeAllWindows(automation::Shell& shell, Module1& module, automation::Hwnd mainWindow);

// Restores every listed web window, the last row first, so the first row's window
// ends in front.
void restoreWebWindows(const WebWindowList& list, Module1& module);

// Closes every listed web window. Returns whether the list must be rebuilt (false
// when it was empty).
// The windows closed are added to group when one is given.
bool closeWebWindows(const WebWindowList& list, ClosingGroup* group = nullptr);

// Hides the address bar, tool bar and menu bar of every listed web window but the last
// row's, and keeps them resizable and visible. A list of one row is left as it is.
void hideBars(const WebWindowList& list);

// Ends full-screen and theatre mode and shows every bar of every listed web window.
void showAllBars(const WebWindowList& list);

} // namespace tabulon
