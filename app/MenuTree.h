#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

// One item of the main window's menu bar as designed: a command, a separator
// (caption "-") or a sub-menu with items. The indexed arrays mSite and menuApp appear
// as their item 0; further items are made at run time.
struct MenuSpec
{
    std::string name;
    std::string caption;
    std::vector<MenuSpec> items;
    bool submenu = false;
    bool checkable = false;

    bool separator() const { return caption == "-"; }
};

// The menu bar, top-level menus first, each with its items in display order.
const std::vector<MenuSpec>& mainMenuTree();

// Whether name is an item of the designed tree ("mSite" and "menuApp" stand for
// their arrays).
bool isMenuName(std::string_view name);

} // namespace tabulon
