#pragma once

#include "core/Module1.h"

#include <string>

namespace tabulon {

// Changes to the registered lists. Each one changes the table and rewrites its file;
// when the file cannot be written the table is put back as it was, so table and file
// never disagree. The menus and the editors follow the table afterwards.

// Appends a site as the last entry. False when the table holds 71 already.
bool addSite(Module1& module, SiteEntry entry);
// Gives entry index a new name and address.
bool changeSite(Module1& module, int index, SiteEntry entry);
// Removes entry index; those after it move up. The last remaining site stays.
bool deleteSite(Module1& module, int index);

// Appends an application or file as the last entry. False when the table holds 31.
bool addApp(Module1& module, AppEntry entry);
// Removes entry index; those after it move up. The last remaining entry stays.
bool deleteApp(Module1& module, int index);

} // namespace tabulon
