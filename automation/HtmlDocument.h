#pragma once

#include "automation/PageStyle.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace automation {

class PageWindow;

// The base colours a document takes, each a number 0xRRGGBB.
enum class DocumentColor
{
    fgcolor,
    linkcolor,
    alinkcolor,
    vlinkcolor,
    bgcolor
};

// The collections whose Length the page report counts.
enum class DocumentCollection
{
    scripts,
    styleSheets,
    Forms,
    anchors,
    images,
    links
};

// What the page report reads of each image (its address, then its file size) or link
// (its inner HTML, then its address): nothing for a value that cannot be read.
struct ReportItem
{
    std::optional<std::string> first;
    std::optional<std::string> second;
};

// The Length of document.images (links) and its first items, in order: fewer than
// asked when the page changed meanwhile, and those missing read as unreadable.
struct ReportItems
{
    int length = 0;
    std::vector<ReportItem> items;
};

std::string_view memberName(DocumentColor color);
std::string_view memberName(DocumentCollection collection);

// A page's document object. Every member may raise automation::Error; the body
// members raise it too when the document has no body (a frameset, a page still
// loading, a document that is not HTML).
class HtmlDocument
{
public:
    virtual ~HtmlDocument() = default;

    virtual std::string Title() = 0;
    // The page's window object.
    virtual std::shared_ptr<PageWindow> parentwindow() = 0;
    // Frames.Length and Frames.Item(index).
    virtual int FramesLength() = 0;
    virtual std::shared_ptr<PageWindow> FramesItem(int index) = 0;

    // body.background and body.style.fontSize.
    virtual std::string bodyBackground() = 0;
    virtual void putBodyBackground(const std::string& value) = 0;
    virtual std::string bodyFontSize() = 0;
    virtual void putBodyFontSize(const std::string& value) = 0;

    // Writes one of the base colours; it changes on the page at once.
    virtual void putColor(DocumentColor color, std::int32_t rgb) = 0;
    // Shows the page in the base colours through a style sheet of the program's own
    // that wins over the page's styles; it replaces the one put before.
    virtual void putBaseColors(const BaseColors& colors) = 0;
    // Shows the page at factor times its size (1: as the page has it) through the
    // browser's own zoom or the nearest the backend has.
    virtual void putZoom(double factor) = 0;

    virtual std::string referrer() = 0;
    virtual std::string cookie() = 0;
    virtual std::string lastModified() = 0;
    // The Length of one of the document's collections.
    virtual int collectionLength(DocumentCollection collection) = 0;
    // images(index).href and images(index).filesize.
    virtual std::string imageHref(int index) = 0;
    virtual std::string imageFileSize(int index) = 0;
    // links(index).innerHTML and links(index).href.
    virtual std::string linkInnerHTML(int index) = 0;
    virtual std::string linkHref(int index) = 0;

    // The images (links) as the page report reads them: the Length, then the first
    // maxItems items, stopping early once their values add up to maxBytes (the report
    // holds no more). Raises Error when the Length cannot be read. These read item by
    // item through the members above; a backend that reaches the page by round trips
    // reads the whole collection at once instead.
    virtual ReportItems reportImages(int maxItems, std::size_t maxBytes);
    virtual ReportItems reportLinks(int maxItems, std::size_t maxBytes);
};

} // namespace automation
