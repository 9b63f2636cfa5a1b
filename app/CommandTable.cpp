#include "app/CommandTable.h"

#include "app/Form1.h"

namespace tabulon {

const std::vector<CommandEntry>& commandTable()
{
    static const std::vector<CommandEntry> table = {
        {"tile-vertical", "menuTile", &Form1::menuTile_Click, false},
        {"tile-horizontal", "menuTile2", &Form1::menuTile2_Click, false},
        {"tile-web", "menuTile3", &Form1::menuTile3_Click, false},
        {"cascade", "menuCascade", &Form1::menuCascade_Click, false},
        {"cascade-web", "menuCascade2", &Form1::menuCascade2_Click, false},
        {"minimize-all", "menuMinAll", &Form1::menuMinAll_Click, false},
        {"restore-all", "menuNorm", &Form1::menuNorm_Click, false},
        {"close-all", "menuCloseAll", &Form1::menuCloseAll_Click, false},
        {"reopen", "menuReopen", &Form1::menuReopen_Click, false},
        {"save-layout", "menuSaveLayout", &Form1::menuSaveLayout_Click, false},
        {"delete-layout", "menuDelLayout", &Form1::menuDelLayout_Click, false},
        {"export-list", "menuExportList", &Form1::menuExportList_Click, false},
        {"hide-bars", "menuHidebar", &Form1::menuHidebar_Click, false},
        {"show-bars", "menuAddressBar", &Form1::menuAddressBar_Click, false},
        {"expand-frames", "menuFrame", &Form1::menuFrame_Click, true},
        {"bring-to-front", "menuActivate", &Form1::menuActivate_Click, true},
        {"close", "menuClose", &Form1::menuClose_Click, true},
        {"minimize-others", "menuIconExcept", &Form1::menuIconExcept_Click, true},
        {"close-others", "menuCloseExcept", &Form1::menuCloseExcept_Click, true},
        {"register-site", "menuAddSite", &Form1::menuAddSite_Click, true},
        {"open-again", "menuCopy", &Form1::menuCopy_Click, true},
        {"font-size", "fontp", &Form1::fontp_Click, true},
        {"colors", "menuCHGcolor", &Form1::menuCHGcolor_Click, true},
        {"report", "menuInfo", &Form1::menuInfo_Click, true},
        {"always-on-top", "EverFront", &Form1::EverFront_Click, false},
        {"auto-minimize", "menuAutoMin", &Form1::menuAutoMin_Click, false},
        {"all-rows", "menuAllRows", &Form1::menuAllRows_Click, false},
        {"quit", "menuEND", &Form1::menuEND_Click, false},
    };
    return table;
}

const CommandEntry* findCommand(std::string_view id)
{
    for (const CommandEntry& entry : commandTable()) {
        if (id == entry.id)
            return &entry;
    }
    return nullptr;
}

} // namespace tabulon
