#pragma once

#include <string>
#include <string_view>

namespace automation {
class ShellWindows;
}

namespace tabulon {

// The refresh timer's period: every tick rebuilds the list from the shell's collection.
inline constexpr int kRefreshPeriodMs = 2000;

class Module1;
class WebWindowList;

// Whether a lower-cased address belongs to a web window: a web page or an HTML file.
bool isWebAddress(std::string_view lowerUrl);

// Rebuilds the rows and WebWin from the shell's window collection as it is now: one
// row per busy browser ("busy") and per web window (name, state letter, height, width,
// frame count, address). A member that cannot be read leaves its cell empty; a row is
// still added, so row i and WebWin(i) always belong to the same browser.
void rebuildRows(WebWindowList& list, automation::ShellWindows& windows, Module1& module);

} // namespace tabulon
