// The refresh timer's tick and the AutoMinimize option of the main window.
#include "app/Form1.h"
#include "winlist/AutoMinimize.h"

#include <QAction>

namespace tabulon {

void Form1::Timer1_Timer()
{
    if (!isVisible())
        show();
    SavePosition();
    const int selected = webWindows().selected();
    RefreshList();
    if (AutoMin)
        autoMinimize(webWindows(), List2, module());
    // The selection is kept by row number; a row that no longer exists selects nothing.
    if (selected > 0)
        selectRow(selected);
}

void Form1::menuAutoMin_Click()
{
    AutoMin = !AutoMin;
    menuAutoMin->setChecked(AutoMin);
    if (AutoMin)
        List2 = seenHandles(webWindows());
}

} // namespace tabulon
