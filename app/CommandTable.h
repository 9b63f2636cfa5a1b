#pragma once

#include <string_view>
#include <vector>

namespace tabulon {

class Form1;

// A command of the main window by its stable English name, as scripts and the bus name
// it: the menu item it stands for and that item's handler.
struct CommandEntry
{
    const char* id;       // "tile-web"
    const char* menuName; // "menuTile3"
    void (Form1::*handler)();
    // Works on the selected row: asked for with nothing selected, it is refused.
    bool needsSelection;
};

// Every command, in the order of the menus.
const std::vector<CommandEntry>& commandTable();
// The command named id; nullptr when there is none.
const CommandEntry* findCommand(std::string_view id);

} // namespace tabulon
