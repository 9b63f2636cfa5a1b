#include "automation/chromium/ChromiumDocument.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/ChromiumPageWindow.h"
#include "automation/chromium/PageScripts.h"
#include "automation/chromium/ProtocolReplies.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace automation::chromium {

using nlohmann::json;

namespace {

std::string asText(const std::string& member, const json& value)
{
    if (value.is_string())
        return checked::pageText(value.get<std::string>());
    if (value.is_null())
        return {};
    throw Error(member, "the page gave no text");
}

int asCount(const std::string& member, const json& value)
{
    return static_cast<int>(checked::requireInteger(
        member, value, 0, std::numeric_limits<std::int32_t>::max(), "count"));
}

// The document's own names for the colours.
const char* colorProperty(DocumentColor color)
{
    switch (color) {
    case DocumentColor::fgcolor:
        return "fgColor";
    case DocumentColor::linkcolor:
        return "linkColor";
    case DocumentColor::alinkcolor:
        return "alinkColor";
    case DocumentColor::vlinkcolor:
        return "vlinkColor";
    case DocumentColor::bgcolor:
        return "bgColor";
    }
    return "fgColor";
}

const char* collectionProperty(DocumentCollection collection)
{
    switch (collection) {
    case DocumentCollection::scripts:
        return "scripts";
    case DocumentCollection::styleSheets:
        return "styleSheets";
    case DocumentCollection::Forms:
        return "forms";
    case DocumentCollection::anchors:
        return "anchors";
    case DocumentCollection::images:
        return "images";
    case DocumentCollection::links:
        return "links";
    }
    return "links";
}

} // namespace

ChromiumDocument::ChromiumDocument(std::shared_ptr<ChromiumClient> client, std::string targetId,
                                   std::uint64_t generation)
    : m_client(std::move(client)), m_targetId(std::move(targetId)), m_generation(generation)
{}

ChromiumClient& ChromiumDocument::use(const std::string& member)
{
    m_client->require(member, m_targetId, m_generation);
    return *m_client;
}

std::string ChromiumDocument::text(const std::string& member, const char* declaration)
{
    return asText(
        member, use(member).readFunction(member, m_targetId, declaration, {limits::kMaxPageText}));
}

std::string ChromiumDocument::item(const std::string& member, const char* collection,
                                   const char* property, int index)
{
    ChromiumClient& client = use(member);
    if (index < 0)
        throw Error(member, "no such item");
    Items& items = m_items[{collection, property}];
    const bool held = client.fresh(items.stamp) && index >= items.start &&
                      index < items.start + static_cast<int>(items.values.size());
    if (!held) {
        const json values = client.readFunction(member, m_targetId, scripts::kItems,
                                                {collection, property, index, kItemsPerRead,
                                                 limits::kMaxPageText, kItemCharactersPerRead});
        if (!values.is_array())
            throw Error(member, "the page gave no list");
        items = Items{index, {}, client.now()};
        for (const json& value : values) {
            if (items.values.size() >= static_cast<std::size_t>(kItemsPerRead))
                break;
            items.values.push_back(asText(member, value));
        }
    }
    const auto at = static_cast<std::size_t>(index - items.start);
    if (at >= items.values.size())
        throw Error(member, std::string("no such item of ") + collection);
    return items.values[at];
}

std::string ChromiumDocument::htmlColor(std::int32_t rgb)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%06x", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    return text;
}

std::string ChromiumDocument::Title()
{
    std::string title = checked::lineText(text("Title", scripts::kTitle), limits::kMaxPageText);
    m_client->noteTitleRead(m_targetId, title);
    return title;
}

std::shared_ptr<PageWindow> ChromiumDocument::parentwindow()
{
    use("parentwindow");
    return std::make_shared<ChromiumPageWindow>(m_client, m_targetId, m_generation, -1);
}

int ChromiumDocument::FramesLength()
{
    const auto frames = use("Frames").snapshot("Frames", m_targetId).frames;
    if (!frames)
        throw Error("Frames", "the page has more frames than the program reads");
    return *frames;
}

std::shared_ptr<PageWindow> ChromiumDocument::FramesItem(int index)
{
    if (index < 0 || index >= FramesLength())
        throw Error("Frames", "no such frame");
    return std::make_shared<ChromiumPageWindow>(m_client, m_targetId, m_generation, index);
}

std::string ChromiumDocument::bodyBackground()
{
    return text("background", scripts::kBodyBackground);
}

void ChromiumDocument::putBodyBackground(const std::string& value)
{
    use("body").callFunction("body", m_targetId, scripts::kPutBodyBackground, {value});
}

std::string ChromiumDocument::bodyFontSize()
{
    return text("fontSize", scripts::kBodyFontSize);
}

void ChromiumDocument::putBodyFontSize(const std::string& value)
{
    use("body").callFunction("body", m_targetId, scripts::kPutBodyFontSize, {value});
}

void ChromiumDocument::putColor(DocumentColor color, std::int32_t rgb)
{
    const std::string member(memberName(color));
    use(member).callFunction(member, m_targetId, scripts::kPutColor,
                             {colorProperty(color), htmlColor(rgb)});
}

void ChromiumDocument::putBaseColors(const BaseColors& colors)
{
    use("style").putPageSheet("style", m_targetId, PageSheets::colors, baseColorSheet(colors));
}

void ChromiumDocument::putZoom(double factor)
{
    use("zoom").putPageSheet("zoom", m_targetId, PageSheets::zoom, zoomSheet(factor));
}

std::string ChromiumDocument::referrer()
{
    return text("referrer", scripts::kReferrer);
}

std::string ChromiumDocument::cookie()
{
    return text("cookie", scripts::kCookie);
}

std::string ChromiumDocument::lastModified()
{
    return text("lastModified", scripts::kLastModified);
}

int ChromiumDocument::collectionLength(DocumentCollection collection)
{
    const std::string member(memberName(collection));
    return asCount(member, use(member).readFunction(member, m_targetId, scripts::kCollectionLength,
                                                    {collectionProperty(collection)}));
}

std::string ChromiumDocument::imageHref(int index)
{
    return item("images", "images", "src", index);
}

std::string ChromiumDocument::imageFileSize(int index)
{
    // The bytes the browser loaded for the image, as the page's resources list them.
    const std::string href = imageHref(index);
    const auto size = use("filesize").resourceSize("filesize", m_targetId, href);
    if (!size)
        throw Error("filesize", "the image's size is not known");
    return std::to_string(*size);
}

std::string ChromiumDocument::linkInnerHTML(int index)
{
    return item("links", "links", "innerHTML", index);
}

std::string ChromiumDocument::linkHref(int index)
{
    return item("links", "links", "href", index);
}

ReportItems ChromiumDocument::reportItems(const std::string& member, const char* collection,
                                          const std::vector<std::string>& properties, int maxItems,
                                          std::size_t maxBytes)
{
    ReportItems read;
    std::size_t used = 0;
    for (bool first = true;; first = false) {
        const int start = static_cast<int>(read.items.size());
        const int wanted = std::min(first ? maxItems : read.length, maxItems) - start;
        if (!first && (wanted <= 0 || used >= maxBytes))
            break;
        PageItems page;
        try {
            page = readPageItems(
                member,
                use(member).readFunction(member, m_targetId, scripts::kReportItems,
                                         {collection, properties, start, std::max(wanted, 0),
                                          limits::kMaxPageText, kReportCharactersPerRead}),
                properties.size(), std::max(wanted, 0));
        } catch (const Error&) {
            // Without its Length the collection is unreadable; past it, the items not
            // read yet read as unreadable, and those read stay.
            if (first)
                throw;
            break;
        }
        if (first)
            read.length = page.length;
        for (const auto& values : page.items) {
            ReportItem item;
            item.first = values.empty() ? std::nullopt : values[0];
            item.second = values.size() < 2 ? std::nullopt : values[1];
            used += (item.first ? item.first->size() : 0) + (item.second ? item.second->size() : 0);
            read.items.push_back(std::move(item));
        }
        // A page that shrank meanwhile gives nothing more.
        if (page.items.empty())
            break;
    }
    return read;
}

ReportItems ChromiumDocument::reportImages(int maxItems, std::size_t maxBytes)
{
    ReportItems read = reportItems("images", "images", {"src"}, maxItems, maxBytes);
    // The bytes the browser loaded for each image, as the page's resources list them.
    std::optional<std::map<std::string, long long>> sizes;
    for (ReportItem& item : read.items) {
        if (!item.first)
            continue;
        if (!sizes)
            skipOnFailure([&] { sizes = use("filesize").resourceSizes("filesize", m_targetId); });
        if (!sizes)
            break;
        if (const auto found = sizes->find(*item.first); found != sizes->end())
            item.second = std::to_string(found->second);
    }
    return read;
}

ReportItems ChromiumDocument::reportLinks(int maxItems, std::size_t maxBytes)
{
    return reportItems("links", "links", {"innerHTML", "href"}, maxItems, maxBytes);
}

} // namespace automation::chromium
