#include "automation/bridged/BridgedDocument.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedPageWindow.h"
#include "automation/chromium/Checked.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace automation::bridged {

using nlohmann::json;
namespace checked = chromium::checked;

namespace {

// Page work may wait for a slow page; the extension gives up on it first.
constexpr std::chrono::milliseconds kPageTimeout{5000};
// The list's reading of a page is waited for as long as over the DevTools protocol.
constexpr std::chrono::milliseconds kListTimeout{1000};
// A page that could not be read for the list is asked again after this long, or at
// once when the browser tells of a change to its tab.
constexpr std::chrono::milliseconds kFailureKept{10000};

// The parts of the program's style sheet in a tab.
constexpr int kColorPart = 0;
constexpr int kZoomPart = 1;

const char* colorKey(DocumentColor color)
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

const char* collectionKey(DocumentCollection collection)
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

// What went wrong, without the member that it went wrong for.
std::string reasonOf(const Error& error)
{
    const std::string text = error.what();
    const std::string prefix = error.member() + " failed: ";
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

// A value of an image or link; an item that lacks it could not be read in the page.
std::string itemText(const std::string& member, const json& item, const char* key)
{
    const json& value = checked::at(item, key);
    if (!value.is_string())
        throw Error(member, "the page could not read it");
    return checked::pageText(value.get<std::string>());
}

std::string itemSize(const json& item)
{
    const auto size = checked::integerAt(item, "size", 0, std::numeric_limits<std::int64_t>::max());
    if (!size)
        throw Error("filesize", "the image's size is not known");
    return std::to_string(*size);
}

std::string text(const std::string& member, const json& value)
{
    if (value.is_string())
        return checked::pageText(value.get<std::string>());
    if (value.is_null())
        return {};
    throw Error(member, "the page gave no text");
}

} // namespace

json runInTop(BridgePeer& peer, const std::string& member, std::int64_t tabId, const char* fn,
              json args, std::chrono::milliseconds timeout)
{
    const json result = peer.request(
        member, "page.run", {{"tabId", tabId}, {"fn", fn}, {"args", std::move(args)}}, timeout);
    const json& frames = checked::arrayAt(result, "frames");
    if (frames.empty())
        throw Error(member, "the page gave nothing");
    const json& frame = frames.front();
    if (const json& error = checked::at(frame, "error"); !error.is_null())
        throw Error(member, error.is_string() ? checked::lineText(error.get<std::string>(), 1024)
                                              : "the page failed");
    return checked::at(frame, "result");
}

json runInAllFrames(BridgePeer& peer, const std::string& member, std::int64_t tabId, const char* fn)
{
    const json result = peer.request(
        member, "page.run", {{"tabId", tabId}, {"fn", fn}, {"allFrames", true}}, kPageTimeout);
    return checked::arrayAt(result, "frames");
}

BridgedDocument::BridgedDocument(std::shared_ptr<BridgeHub> hub, std::shared_ptr<BridgePeer> peer,
                                 std::int64_t tabId)
    : m_hub(std::move(hub)), m_peer(std::move(peer)), m_tabId(tabId)
{}

json BridgedDocument::list(const std::string& member)
{
    if (const BridgePeer::KeptPage* kept = m_peer->keptPage(m_tabId)) {
        if (kept->failure.empty())
            return kept->list;
        if (m_peer->now() - kept->at < kFailureKept)
            throw Error(member, kept->failure);
    }
    json result;
    try {
        result = runInTop(*m_peer, member, m_tabId, "list", json::object(), kListTimeout);
    } catch (const Error& e) {
        m_peer->keepPageFailure(m_tabId, reasonOf(e));
        throw;
    }
    m_peer->keepPageList(m_tabId, result);
    return result;
}

bool BridgedDocument::complete(const std::string& member)
{
    // A reading that found the document still loading is stale by the next look.
    if (const json* kept = m_peer->pageList(m_tabId);
        kept && checked::lineAt(*kept, "readyState", 32) != "complete")
        m_peer->forgetPage(m_tabId);
    return checked::lineAt(list(member), "readyState", 32) == "complete";
}

json BridgedDocument::write(const std::string& member, const char* fn, json args)
{
    m_peer->forgetPage(m_tabId);
    return runInTop(*m_peer, member, m_tabId, fn, std::move(args));
}

std::string BridgedDocument::Title()
{
    std::string title = checked::lineAt(list("Title"), "title", limits::kMaxPageText);
    m_hub->noteTitleRead(*m_peer, m_tabId, title);
    return title;
}

std::shared_ptr<PageWindow> BridgedDocument::parentwindow()
{
    return std::make_shared<BridgedPageWindow>(m_hub, m_peer, m_tabId, -1);
}

int BridgedDocument::FramesLength()
{
    const auto frames = checked::integerAt(list("Frames"), "frames", 0, limits::kMaxFrames);
    if (!frames)
        throw Error("Frames", "the page gave no frame count");
    return static_cast<int>(*frames);
}

std::shared_ptr<PageWindow> BridgedDocument::FramesItem(int index)
{
    if (index < 0 || index >= FramesLength())
        throw Error("Frames", "no such frame");
    return std::make_shared<BridgedPageWindow>(m_hub, m_peer, m_tabId, index);
}

std::string BridgedDocument::bodyBackground()
{
    return text("background", runInTop(*m_peer, "background", m_tabId, "background"));
}

void BridgedDocument::putBodyBackground(const std::string& value)
{
    write("body", "background", {{"value", value}});
}

std::string BridgedDocument::bodyFontSize()
{
    return text("fontSize", runInTop(*m_peer, "fontSize", m_tabId, "fontSize"));
}

void BridgedDocument::putBodyFontSize(const std::string& value)
{
    write("body", "fontSize", {{"value", value}});
}

void BridgedDocument::putColor(DocumentColor color, std::int32_t rgb)
{
    char html[8];
    std::snprintf(html, sizeof html, "#%06x", static_cast<unsigned>(rgb) & 0xFFFFFFu);
    write(std::string(memberName(color)), "colors", {{colorKey(color), html}});
}

void BridgedDocument::putSheet(const std::string& member, int part, const std::string& text)
{
    auto& sheets = m_peer->pageSheets();
    sheets[{m_tabId, part}] = text;
    const std::string whole = sheets[{m_tabId, kColorPart}] + sheets[{m_tabId, kZoomPart}];
    m_peer->forgetPage(m_tabId);
    if (whole.empty())
        m_peer->request(member, "tab.removeCSS", {{"tabId", m_tabId}}, kPageTimeout);
    else
        m_peer->request(member, "tab.insertCSS", {{"tabId", m_tabId}, {"css", whole}},
                        kPageTimeout);
}

void BridgedDocument::putBaseColors(const BaseColors& colors)
{
    putSheet("style", kColorPart, baseColorSheet(colors));
}

void BridgedDocument::putZoom(double factor)
{
    m_peer->request("zoom", "tab.setZoom", {{"tabId", m_tabId}, {"factor", boundedZoom(factor)}},
                    kPageTimeout);
    putSheet("zoom", kZoomPart, keepBodySizeSheet(factor));
}

std::string BridgedDocument::referrer()
{
    return text("referrer",
                checked::at(runInTop(*m_peer, "referrer", m_tabId, "report"), "referrer"));
}

std::string BridgedDocument::cookie()
{
    return text("cookie", checked::at(runInTop(*m_peer, "cookie", m_tabId, "report"), "cookie"));
}

std::string BridgedDocument::lastModified()
{
    return text("lastModified",
                checked::at(runInTop(*m_peer, "lastModified", m_tabId, "report"), "lastModified"));
}

int BridgedDocument::collectionLength(DocumentCollection collection)
{
    const std::string member(memberName(collection));
    const json report = runInTop(*m_peer, member, m_tabId, "report");
    return static_cast<int>(
        checked::requireInteger(member, checked::at(report, collectionKey(collection)), 0,
                                std::numeric_limits<std::int32_t>::max(), "count"));
}

const json& BridgedDocument::heldList(const std::string& member, const char* fn,
                                      std::optional<json>& held)
{
    if (!held)
        held = runInTop(*m_peer, member, m_tabId, fn);
    return *held;
}

const json& BridgedDocument::item(const std::string& member, const char* fn,
                                  std::optional<json>& held, int index)
{
    const json& items = checked::arrayAt(heldList(member, fn, held), "items");
    if (index < 0 || static_cast<std::size_t>(index) >= items.size())
        throw Error(member, "no such item");
    return items[static_cast<std::size_t>(index)];
}

std::string BridgedDocument::imageHref(int index)
{
    return itemText("images", item("images", "images", m_images, index), "src");
}

std::string BridgedDocument::imageFileSize(int index)
{
    return itemSize(item("filesize", "images", m_images, index));
}

std::string BridgedDocument::linkInnerHTML(int index)
{
    return itemText("links", item("links", "links", m_links, index), "html");
}

std::string BridgedDocument::linkHref(int index)
{
    return itemText("links", item("links", "links", m_links, index), "href");
}

ReportItems BridgedDocument::reportItems(const std::string& member, const char* fn,
                                         std::optional<json>& held, int maxItems,
                                         std::size_t maxBytes, ReadValue first, ReadValue second)
{
    const json& list = heldList(member, fn, held);
    const json& items = checked::arrayAt(list, "items");
    const auto omitted =
        checked::integerAt(list, "omitted", 0, std::numeric_limits<std::int32_t>::max());
    if (!omitted || !checked::at(list, "items").is_array())
        throw Error(member, "the page gave no list");
    ReportItems read;
    read.length =
        static_cast<int>(std::min<std::int64_t>(static_cast<std::int64_t>(items.size()) + *omitted,
                                                std::numeric_limits<std::int32_t>::max()));
    std::size_t used = 0;
    for (const json& raw : items) {
        if (static_cast<int>(read.items.size()) >= maxItems || used >= maxBytes)
            break;
        ReportItem item;
        skipOnFailure([&] { item.first = first(raw); });
        skipOnFailure([&] { item.second = second(raw); });
        used += (item.first ? item.first->size() : 0) + (item.second ? item.second->size() : 0);
        read.items.push_back(std::move(item));
    }
    return read;
}

ReportItems BridgedDocument::reportImages(int maxItems, std::size_t maxBytes)
{
    return reportItems(
        "images", "images", m_images, maxItems, maxBytes,
        [](const json& raw) { return itemText("images", raw, "src"); }, itemSize);
}

ReportItems BridgedDocument::reportLinks(int maxItems, std::size_t maxBytes)
{
    return reportItems(
        "links", "links", m_links, maxItems, maxBytes,
        [](const json& raw) { return itemText("links", raw, "html"); },
        [](const json& raw) { return itemText("links", raw, "href"); });
}

} // namespace automation::bridged
