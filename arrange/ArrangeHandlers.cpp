// The main window's commands that arrange web windows or act on them.
#include "app/Form1.h"
#include "arrange/AllWindows.h"
#include "arrange/Arrange.h"
#include "arrange/SelectedWindow.h"

namespace tabulon {

namespace {

void arrange(Form1& form, ShellArrangement how)
{
    if (form.ShellApp)
        arrangeByShell(*form.ShellApp, form.module(), form.hWnd(), how);
}

} // namespace

// ---- tiling and cascading ----

void Form1::menuTile_Click()
{
    arrange(*this, ShellArrangement::TileVertically);
}

void Form1::menuTile2_Click()
{
    arrange(*this, ShellArrangement::TileHorizontally);
}

void Form1::menuCascade_Click()
{
    arrange(*this, ShellArrangement::CascadeWindows);
}

void Form1::menuTile3_Click()
{
    TileWebWindows();
}

void Form1::menuCascade2_Click()
{
    CascadeWebWindows();
}

void Form1::TileWebWindows()
{
    tileWebWindows(webWindows(), platform().windows);
}

void Form1::CascadeWebWindows()
{
    cascadeWebWindows(webWindows(), platform().windows);
}

// ---- every web window ----

void Form1::menuMinAll_Click()
{
    if (ShellApp)
        minimizeAllWindows(*ShellApp, module(), hWnd());
}

void Form1::menuNorm_Click()
{
    restoreWebWindows(webWindows(), module());
}

void Form1::menuCloseAll_Click()
{
    CloseAllWindows();
}

void Form1::CloseAllWindows()
{
    if (closeWebWindows(webWindows()))
        RefreshList();
}

void Form1::menuHidebar_Click()
{
    hideBars(webWindows());
}

void Form1::menuAddressBar_Click()
{
    ShowAllBars();
}

void Form1::ShowAllBars()
{
    showAllBars(webWindows());
}

// ---- the selected web window ----

void Form1::menuActivate_Click()
{
    bringSelectedToFront(webWindows(), module(), platform().windows);
}

void Form1::menuClose_Click()
{
    CloseSelectedWindow();
}

void Form1::CloseSelectedWindow()
{
    if (closeSelectedWindow(webWindows()))
        RefreshList();
}

void Form1::menuIconExcept_Click()
{
    minimizeOtherWindows(webWindows(), module());
}

void Form1::menuCloseExcept_Click()
{
    CloseOtherWindows();
}

void Form1::CloseOtherWindows()
{
    if (closeOtherWindows(webWindows()))
        RefreshList();
}

void Form1::menuCopy_Click()
{
    OpenSelectedAgain();
}

void Form1::OpenSelectedAgain()
{
    openSelectedAgain(webWindows(), module());
}

// The double-clicked window comes to the front with every other one minimised.
void Form1::ListView1_DblClick()
{
    menuIconExcept_Click();
    menuActivate_Click();
}

} // namespace tabulon
