#include "arrange/SelectedWindow.h"

#include "arrange/Layout.h"
#include "arrange/SavedWindow.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/WindowManager.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <algorithm>

namespace tabulon {

using automation::skipOnFailure;

void bringSelectedToFront(const WebWindowList& list, Module1& module,
                          automation::WindowManager& windows)
{
    const auto browser = list.selectedWebWin();
    if (!browser)
        return;
    automation::Hwnd h = 0;
    // A window closed since the list was built has nothing to bring forward.
    if (!skipOnFailure([&] { h = browser->hWnd(); }))
        return;
    const FrontPlacement placement = frontPlacement(windows.screen());

    std::shared_ptr<automation::PageWindow> page;
    skipOnFailure([&] {
        const auto document = browser->Document();
        if (!document)
            throw automation::Error("Document", "the window shows no document");
        page = document->parentwindow();
    });
    if (page) {
        skipOnFailure([&] { page->moveto(placement.position.x, placement.position.y); });
        skipOnFailure([&] { page->resizeto(placement.size.width, placement.size.height); });
    }
    skipOnFailure([&] { module.MinimizeWin(h); });
    skipOnFailure([&] { module.RestoreWin(h); });
}

bool closeSelectedWindow(const WebWindowList& list, ClosingGroup* group)
{
    const auto browser = list.selectedWebWin();
    if (!browser)
        return false;
    skipOnFailure([&] { group ? group->quit(*browser) : browser->Quit(); });
    return true;
}

void minimizeOtherWindows(const WebWindowList& list, Module1& module)
{
    const int s = list.selected();
    if (s == 0)
        return;
    for (int i = list.lastTracked(); i >= 1; --i) {
        const auto browser = list.WebWin(i);
        if (!browser || (i != s && !list.inScope(i)))
            continue;
        skipOnFailure([&] {
            const automation::Hwnd h = browser->hWnd();
            if (i != s)
                module.MinimizeWin(h);
            else if (module.GetWinState(h) == "S")
                module.RestoreWin(h);
        });
    }
}

bool closeOtherWindows(const WebWindowList& list, ClosingGroup* group)
{
    const int s = list.selected();
    if (s == 0 || list.count() < 2)
        return false;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (i != s && browser && list.inScope(i))
            skipOnFailure([&] { group ? group->quit(*browser) : browser->Quit(); });
    }
    return true;
}

void openSelectedAgain(const WebWindowList& list, Module1& module)
{
    if (!list.selectedWebWin())
        return;
    module.CurURL = list.row(list.selected()).sub[4];
    skipOnFailure([&] { module.OpenSiteWindow(module.CurURL); });
}

} // namespace tabulon
