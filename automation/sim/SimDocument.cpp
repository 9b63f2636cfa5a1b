#include "automation/sim/SimDocument.h"

#include "automation/Error.h"
#include "automation/sim/SimPageWindow.h"
#include "automation/sim/SimState.h"

namespace automation::sim {

using nlohmann::json;

SimDocument::SimDocument(SimState& state, std::shared_ptr<SimWindow> window,
                         std::shared_ptr<SimDocumentData> data)
    : m_state(state), m_window(std::move(window)), m_data(std::move(data))
{}

SimDocumentData& SimDocument::read(std::string_view member)
{
    const std::string name(member);
    const bool fails = m_window->closed || m_data->fail.count(name) > 0;
    if (m_state.logReads()) {
        json call = {
            {"op", "get"}, {"window", m_window->id}, {"target", "document"}, {"prop", name}};
        if (fails)
            call["failed"] = true;
        m_state.record(std::move(call));
    }
    if (m_window->closed)
        throw Error(name, "the window is closed");
    if (fails)
        throw Error(name, "injected failure");
    return *m_data;
}

SimBody& SimDocument::body(std::string_view member)
{
    SimDocumentData& data = read("body");
    if (!data.body)
        throw Error(std::string(member), "the document has no body");
    return *data.body;
}

void SimDocument::put(json call, std::string_view member, const std::function<void()>& change)
{
    call["window"] = m_window->id;
    try {
        if (m_window->closed)
            throw Error(std::string(member), "the window is closed");
        if (m_data->fail.count(std::string(member)))
            throw Error(std::string(member), "injected failure");
        change();
        m_state.record(std::move(call));
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

std::string SimDocument::Title()
{
    read("Title");
    return m_window->title;
}

std::shared_ptr<PageWindow> SimDocument::parentwindow()
{
    read("parentwindow");
    return std::make_shared<SimPageWindow>(m_state, m_window, m_data, -1);
}

int SimDocument::FramesLength()
{
    return static_cast<int>(read("Frames").frames.size());
}

std::shared_ptr<PageWindow> SimDocument::FramesItem(int index)
{
    const auto& frames = read("Frames").frames;
    if (index < 0 || index >= static_cast<int>(frames.size()))
        throw Error("Frames", "no such frame");
    return std::make_shared<SimPageWindow>(m_state, m_window, m_data, index);
}

std::string SimDocument::bodyBackground()
{
    return body("background").background;
}

void SimDocument::putBodyBackground(const std::string& value)
{
    put({{"op", "put"}, {"target", "body"}, {"prop", "background"}, {"value", value}}, "body",
        [&] { body("background").background = value; });
}

std::string SimDocument::bodyFontSize()
{
    return body("fontSize").fontSize;
}

void SimDocument::putBodyFontSize(const std::string& value)
{
    put({{"op", "put"}, {"target", "body.style"}, {"prop", "fontSize"}, {"value", value}}, "body",
        [&] { body("fontSize").fontSize = value; });
}

void SimDocument::putColor(DocumentColor color, std::int32_t rgb)
{
    const std::string name(memberName(color));
    put({{"op", "put"}, {"target", "document"}, {"prop", name}, {"value", rgb}}, name,
        [&] { m_data->colors[static_cast<std::size_t>(color)] = rgb; });
}

void SimDocument::putBaseColors(const BaseColors& colors)
{
    // Recorded as the colour settings keep them, 0x00BBGGRR.
    const auto stored = [&](DocumentColor color) {
        const auto rgb = static_cast<std::uint32_t>(colors.rgb[static_cast<std::size_t>(color)]);
        return static_cast<std::int32_t>(((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) |
                                         ((rgb >> 16) & 0xFFu));
    };
    put({{"op", "style"},
         {"target", "document"},
         {"fg", stored(DocumentColor::fgcolor)},
         {"bg", stored(DocumentColor::bgcolor)},
         {"link", stored(DocumentColor::linkcolor)},
         {"vlink", stored(DocumentColor::vlinkcolor)},
         {"alink", stored(DocumentColor::alinkcolor)},
         {"noBackgroundImage", colors.noBackgroundImage}},
        "style", [] {});
}

void SimDocument::putZoom(double factor)
{
    put({{"op", "zoom"}, {"factor", factor}}, "zoom", [] {});
}

std::string SimDocument::referrer()
{
    return read("referrer").referrer;
}

std::string SimDocument::cookie()
{
    return read("cookie").cookie;
}

std::string SimDocument::lastModified()
{
    return read("lastModified").lastModified;
}

int SimDocument::collectionLength(DocumentCollection collection)
{
    const SimDocumentData& data = read(memberName(collection));
    switch (collection) {
    case DocumentCollection::scripts:
        return data.scripts;
    case DocumentCollection::styleSheets:
        return data.styleSheets;
    case DocumentCollection::Forms:
        return data.forms;
    case DocumentCollection::anchors:
        return data.anchors;
    case DocumentCollection::images:
        return static_cast<int>(data.images.size());
    case DocumentCollection::links:
        return static_cast<int>(data.links.size());
    }
    return 0;
}

std::string SimDocument::imageHref(int index)
{
    const auto& images = read("images").images;
    if (index < 0 || index >= static_cast<int>(images.size()))
        throw Error("images", "no such image");
    return images[static_cast<std::size_t>(index)].href;
}

std::string SimDocument::imageFileSize(int index)
{
    const auto& images = read("images").images;
    if (index < 0 || index >= static_cast<int>(images.size()) ||
        !images[static_cast<std::size_t>(index)].filesize)
        throw Error("filesize", "not available");
    return *images[static_cast<std::size_t>(index)].filesize;
}

std::string SimDocument::linkInnerHTML(int index)
{
    const auto& links = read("links").links;
    if (index < 0 || index >= static_cast<int>(links.size()))
        throw Error("links", "no such link");
    return links[static_cast<std::size_t>(index)].innerHTML;
}

std::string SimDocument::linkHref(int index)
{
    const auto& links = read("links").links;
    if (index < 0 || index >= static_cast<int>(links.size()))
        throw Error("links", "no such link");
    return links[static_cast<std::size_t>(index)].href;
}

} // namespace automation::sim
