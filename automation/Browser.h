#pragma once

#include "automation/Error.h"
#include "automation/Types.h"

#include <memory>
#include <string>
#include <string_view>

namespace automation {

class HtmlDocument;

// The browser window's features that the program switches on and off.
enum class BrowserProperty
{
    FullScreen,
    TheaterMode,
    AddressBar,
    Toolbar,
    MenuBar,
    Resizable,
    Visible
};

std::string_view memberName(BrowserProperty property);

// One browser window: an item of the shell's window collection, or a new one.
// Every member may raise automation::Error (a window closed since the program last
// looked raises on every member).
class Browser
{
public:
    virtual ~Browser() = default;

    // Whether the window is still loading its page.
    virtual bool busy() = 0;
    virtual std::string LocationURL() = 0;
    // The page's name as the browser reports it.
    virtual std::string LocationName() = 0;
    // The browser program the window belongs to as the user knows it ("Firefox");
    // "" for the program's own browser.
    virtual std::string browserName() { return {}; }
    virtual Hwnd hWnd() = 0;
    // The window's place and size in screen pixels (a minimised window's as it was
    // before). A browser that cannot say raises Error.
    virtual Rect bounds() { throw Error("bounds", "the browser does not say where its window is"); }
    // The window's size in screen pixels.
    virtual long Height() = 0;
    virtual long Width() = 0;
    // The page's document, or nullptr when the window shows none.
    virtual std::shared_ptr<HtmlDocument> Document() = 0;

    // Shows or hides a feature of the window at once.
    virtual void put(BrowserProperty property, bool value) = 0;
    virtual bool get(BrowserProperty property) = 0;

    // Loads the address in this window.
    virtual void Navigate(const std::string& url) = 0;
    // Closes this browser window.
    virtual void Quit() = 0;
};

} // namespace automation
