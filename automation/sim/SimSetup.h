#pragma once

#include "automation/WindowManager.h"

#include <map>
#include <string>

namespace automation::sim {

// What the desktop looks like before anything happens.
struct SimSetup
{
    ScreenMetrics screen;
    // "Desktop", "MyDocuments", "Favorites": the text SpecialFolders reports.
    std::map<std::string, std::string> folders;
    // Whether reads of automation members are recorded as "get" calls too.
    bool logReads = false;
};

} // namespace automation::sim
