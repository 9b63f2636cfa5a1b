#include "arrange/Arrange.h"

#include "arrange/Layout.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/Shell.h"
#include "automation/WindowBatch.h"
#include "automation/WindowManager.h"
#include "core/Module1.h"
#include "winlist/WebWindowList.h"

#include <algorithm>
#include <functional>

namespace tabulon {

using automation::skipOnFailure;

namespace {

std::shared_ptr<automation::HtmlDocument> documentOf(automation::Browser& browser)
{
    auto document = browser.Document();
    if (!document)
        throw automation::Error("Document", "the window shows no document");
    return document;
}

// Wherever the arranging skips failures, a window whose height cannot be read counts
// as arrangeable: it takes a slot, and if its moves fail too the slot stays empty.
bool arrangeableOrUnknown(automation::Browser& browser)
{
    bool arrangeable = true;
    skipOnFailure([&] { arrangeable = isArrangeable(browser.Height()); });
    return arrangeable;
}

// Activates one window by its caption, then sizes and places it through its page;
// each step that fails is skipped on its own.
void placeWindow(automation::Browser& browser, automation::WindowManager& windows, PixelSize size,
                 PixelPoint position)
{
    // A fresh page window for every browser: one that cannot be had moves nothing.
    std::shared_ptr<automation::PageWindow> page;
    skipOnFailure([&] { page = documentOf(browser)->parentwindow(); });
    skipOnFailure([&] { windows.AppActivate(browserCaption(documentOf(browser)->Title())); });
    skipOnFailure([&] {
        if (!page)
            throw automation::Error("resizeto", "no page window");
        page->resizeto(size.width, size.height);
    });
    skipOnFailure([&] {
        if (!page)
            throw automation::Error("moveto", "no page window");
        page->moveto(position.x, position.y);
    });
}

// The moving pass: the arrangeable test is made again for every window, so one
// minimised since the count is passed over while the layout still counts it.
void moveArrangeable(const WebWindowList& list,
                     const std::function<void(automation::Browser&, int slot)>& place)
{
    int slot = 0;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (!browser || !list.inScope(i) || !arrangeableOrUnknown(*browser))
            continue;
        place(*browser, slot);
        ++slot;
    }
}

} // namespace

void arrangeByShell(automation::Shell& shell, Module1& module, automation::Hwnd mainWindow,
                    ShellArrangement how)
{
    // The window manager carries the whole command out before it is awaited, once.
    automation::WindowBatch batch(module.platform().windows);
    skipOnFailure([&] { module.MinimizeWin(mainWindow); });
    skipOnFailure([&] {
        switch (how) {
        case ShellArrangement::TileVertically:
            shell.TileVertically();
            break;
        case ShellArrangement::TileHorizontally:
            shell.TileHorizontally();
            break;
        case ShellArrangement::CascadeWindows:
            shell.CascadeWindows();
            break;
        }
    });
    skipOnFailure([&] { module.RestoreWin(mainWindow); });
}

std::string browserCaption(const std::string& title)
{
    return title + " - Microsoft Internet Explorer";
}

void tileWebWindows(const WebWindowList& list, automation::WindowManager& windows)
{
    const int n = list.scopeCount();
    if (n < kFewestToArrange)
        return;

    int k = 0;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (!browser || !list.inScope(i))
            continue;
        skipOnFailure([&] { browser->put(automation::BrowserProperty::Resizable, true); });
        if (arrangeableOrUnknown(*browser))
            ++k;
    }
    if (k < kFewestToArrange)
        return;

    const Grid grid = tileGrid(k);
    const PixelSize cell = tileCell(screenSize(windows.screen()), grid);
    automation::WindowBatch batch(windows);
    moveArrangeable(list, [&](automation::Browser& browser, int slot) {
        placeWindow(browser, windows, cell, tileSlot(slot, grid, cell));
    });
}

void cascadeWebWindows(const WebWindowList& list, automation::WindowManager& windows)
{
    const int n = list.scopeCount();
    if (n == 0)
        return;

    int k = 0;
    for (int i = 1; i <= list.lastTracked(); ++i) {
        const auto browser = list.WebWin(i);
        if (!browser || !list.inScope(i))
            continue;
        long height = 0;
        // A window that cannot be measured now (closed since the list was built) ends
        // the command before anything has moved.
        if (!skipOnFailure([&] { height = browser->Height(); }))
            return;
        if (isArrangeable(height))
            ++k;
    }
    if (k < kFewestToArrange)
        return;

    const PixelSize size = cascadeSize(screenSize(windows.screen()), n);
    automation::WindowBatch batch(windows);
    moveArrangeable(list, [&](automation::Browser& browser, int slot) {
        placeWindow(browser, windows, size, cascadeSlot(slot));
    });
}

} // namespace tabulon
