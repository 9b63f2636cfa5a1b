// The main window's commands that arrange web windows or act on them.
#include "app/Form1.h"

namespace tabulon {

void Form1::menuTile_Click() {}
void Form1::menuTile2_Click() {}
void Form1::menuTile3_Click() {}
void Form1::menuCascade_Click() {}
void Form1::menuCascade2_Click() {}
void Form1::TileWebWindows() {}
void Form1::CascadeWebWindows() {}
void Form1::menuMinAll_Click() {}
void Form1::menuNorm_Click() {}
void Form1::menuCloseAll_Click() {}
void Form1::CloseAllWindows() {}
void Form1::menuHidebar_Click() {}
void Form1::menuAddressBar_Click() {}
void Form1::ShowAllBars() {}
void Form1::menuActivate_Click() {}
void Form1::menuClose_Click() {}
void Form1::CloseSelectedWindow() {}
void Form1::menuIconExcept_Click() {}
void Form1::menuCloseExcept_Click() {}
void Form1::CloseOtherWindows() {}
void Form1::menuCopy_Click() {}
void Form1::OpenSelectedAgain() {}
void Form1::ListView1_DblClick() {}

} // namespace tabulon
