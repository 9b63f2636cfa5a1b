#pragma once

namespace automation {
class WindowManager;
}

namespace tabulon {

class ClosingGroup;
class Module1;
class WebWindowList;

// The commands on the web window of the selected row. With no row selected, each does
// nothing; a selected row above the 20th has no browser object and nothing is done
// for it.

// Places the selected window at 5 % of the screen size from the top-left corner with
// 90 % of the screen size, then minimises and restores it, which brings it to the
// front with the focus. Moves that fail are skipped; the window still comes forward.
void bringSelectedToFront(const WebWindowList& list, Module1& module,
                          automation::WindowManager& windows);

// Closes the selected window. Returns whether the list must be rebuilt.
// The windows closed are added to group when one is given (here and below).
bool closeSelectedWindow(const WebWindowList& list, ClosingGroup* group = nullptr);

// Minimises every other listed window, the last row first, and restores the selected
// one if it is minimised (a selected window in another state is left alone).
void minimizeOtherWindows(const WebWindowList& list, Module1& module);

// Closes every other listed window. Returns whether the list must be rebuilt (false
// with fewer than two rows).
bool closeOtherWindows(const WebWindowList& list, ClosingGroup* group = nullptr);

// Opens the address of the selected row's URL cell (as the list shows it, lower-cased)
// in a new browser window. A browser that cannot be opened opens nothing.
void openSelectedAgain(const WebWindowList& list, Module1& module);

} // namespace tabulon
