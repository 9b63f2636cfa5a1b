#include "arrange/AllWindows.h"

#include "arrange/SavedWindow.h"
#include "automation/Error.h"
#include "automation/Shell.h"
#include "automation/WindowBatch.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace tabulon {

using automation::BrowserProperty;
using automation::skipOnFailure;

namespace {

// Sets the properties in the order given; a window that fails on one is left there.
void putAll(const WebWindowList& list, int lastRow,
            std::initializer_list<std::pair<BrowserProperty, bool>> properties)
{
    for (int i = 1; i <= list.lastTracked(lastRow); ++i) {
        const auto browser = list.WebWin(i);
        if (!browser)
            continue;
        skipOnFailure([&] {
            for (const auto& [property, value] : properties)
                browser->put(property, value);
        });
    }
}

} // namespace

void minimizeAllWindows(automation::Shell& shell, Module1& module, automation::Hwnd mainWindow)
{
    // The window manager carries the whole command out before it is awaited, once.
    automation::WindowBatch batch(module.platform().windows);
    skipOnFailure([&] { shell.MinimizeAll(); });
    skipOnFailure([&] { module.MinimizeWin(mainWindow); });
    skipOnFailure([&] { module.RestoreWin(mainWindow); });
}

void restoreWebWindows(const WebWindowList& list, Module1& module)
{
    automation::WindowBatch batch(module.platform().windows);
    for (int i = list.lastTracked(); i >= 1; --i) {
        const auto browser = list.WebWin(i);
        if (browser)
            skipOnFailure([&] { module.RestoreWin(browser->hWnd()); });
    }
}

bool closeWebWindows(const WebWindowList& list, ClosingGroup* group)
{
    if (list.scopeCount() == 0)
        return false;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (browser && list.inScope(i))
            skipOnFailure([&] { group ? group->quit(*browser) : browser->Quit(); });
    }
    return true;
}

void hideBars(const WebWindowList& list)
{
    const int n = list.count();
    if (n < 2)
        return;
    putAll(list, n - 1,
           {{BrowserProperty::AddressBar, false},
            {BrowserProperty::Toolbar, false},
            {BrowserProperty::MenuBar, false},
            {BrowserProperty::Resizable, true},
            {BrowserProperty::Visible, true}});
}

void showAllBars(const WebWindowList& list)
{
    putAll(list, list.count(),
           {{BrowserProperty::FullScreen, false},
            {BrowserProperty::TheaterMode, false},
            {BrowserProperty::AddressBar, true},
            {BrowserProperty::Toolbar, true},
            {BrowserProperty::MenuBar, true},
            {BrowserProperty::Resizable, true},
            {BrowserProperty::Visible, true}});
}

} // namespace tabulon
