#pragma once

#include <string>
#include <vector>

namespace tabulon {

class Module1;
class WebWindowList;

// The handles of the listed windows, as decimal text: what AutoMinimize takes as
// already seen when it is switched on. Rows above the 20th have no browser object and
// take no part; a window that cannot tell its handle is left out.
std::vector<std::string> seenHandles(const WebWindowList& list);

// Minimises every listed window whose handle is not among the entries seen had before
// this call, and appends its handle to seen. Rows above the 20th and windows that
// vanished since the rebuild are skipped. seen is never pruned, so no window is
// minimised twice by AutoMinimize.
void autoMinimize(const WebWindowList& list, std::vector<std::string>& seen, Module1& module);

} // namespace tabulon
