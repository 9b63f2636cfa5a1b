#pragma once

#include <memory>
#include <string>

namespace automation {

class HtmlDocument;

// The window object of a page or of one of its frames.
class PageWindow
{
public:
    virtual ~PageWindow() = default;

    // Moves the browser's top-level window to screen pixels (x, y), as given.
    virtual void moveto(double x, double y) = 0;
    // Sizes the browser's top-level window to (width, height) screen pixels, as given.
    virtual void resizeto(double width, double height) = 0;
    // history.Length: how many entries the window's history holds.
    virtual int historyLength() = 0;
    // The window of the top page that holds this one (a top page's own window).
    virtual std::shared_ptr<PageWindow> Parent() = 0;
    // The document shown in this window.
    virtual std::shared_ptr<HtmlDocument> Document() = 0;
    // The window's address as text.
    virtual std::string Location() = 0;
};

} // namespace automation
