#include "automation/sim/SimObjects.h"

#include "automation/Error.h"
#include "automation/sim/SimDesktop.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace automation::sim {

using nlohmann::json;

namespace {

// A COM long from a double: rounded to the nearest, halves to even; out of range
// or not a number raises, as the conversion would.
int toLong(double value, const char* member)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<int>::min() ||
        rounded > std::numeric_limits<int>::max())
        throw Error(member, "overflow");
    return static_cast<int>(rounded);
}

json number(double value)
{
    // Whole numbers print as integers, so a dump reads 51.2 but 0, not 0.0.
    if (std::isfinite(value) && value == std::floor(value) && std::fabs(value) < 1e15)
        return json(static_cast<long long>(value));
    if (!std::isfinite(value))
        return json(value);
    // Fifteen significant digits, as the automation layer shows a double: 768 * 0.05
    // reads 38.4, not 38.400000000000006.
    char digits[32];
    const auto written =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15);
    double shown = value;
    std::from_chars(digits, written.ptr, shown);
    return json(shown);
}

} // namespace

// ---- browser ----

SimBrowserObject::SimBrowserObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window)
    : m_desktop(desktop), m_window(std::move(window))
{}

SimWindow& SimBrowserObject::use(std::string_view member)
{
    if (m_window->closed)
        throw Error(std::string(member), "the window is closed");
    if (m_window->fail.count(std::string(member)))
        throw Error(std::string(member), "injected failure");
    return *m_window;
}

SimWindow& SimBrowserObject::read(std::string_view member)
{
    try {
        SimWindow& window = use(member);
        m_desktop.recordRead(window, "browser", member);
        return window;
    } catch (const Error&) {
        if (m_desktop.logReads())
            m_desktop.record({{"op", "get"},
                              {"window", m_window->id},
                              {"target", "browser"},
                              {"prop", member},
                              {"failed", true}});
        throw;
    }
}

bool SimBrowserObject::busy()
{
    return read("busy").busy;
}

std::string SimBrowserObject::LocationURL()
{
    return read("LocationURL").url;
}

std::string SimBrowserObject::LocationName()
{
    return read("LocationName").locationName();
}

Hwnd SimBrowserObject::hWnd()
{
    return read("hWnd").hwnd;
}

long SimBrowserObject::Height()
{
    const SimWindow& window = read("Height");
    switch (window.state) {
    case WindowState::Minimized:
        return 24;
    case WindowState::Maximized:
        return m_desktop.screenPixels().second;
    case WindowState::Normal:
        break;
    }
    return window.bounds.height;
}

long SimBrowserObject::Width()
{
    const SimWindow& window = read("Width");
    switch (window.state) {
    case WindowState::Minimized:
        return 160;
    case WindowState::Maximized:
        return m_desktop.screenPixels().first;
    case WindowState::Normal:
        break;
    }
    return window.bounds.width;
}

std::shared_ptr<HtmlDocument> SimBrowserObject::Document()
{
    SimWindow& window = read("Document");
    if (!window.document)
        return nullptr;
    return std::make_shared<SimDocumentObject>(m_desktop, m_window, window.document);
}

void SimBrowserObject::put(BrowserProperty property, bool value)
{
    const std::string name(memberName(property));
    json call = {{"op", "put"},
                 {"window", m_window->id},
                 {"target", "browser"},
                 {"prop", name},
                 {"value", value}};
    try {
        SimWindow& window = use(name);
        m_desktop.record(std::move(call));
        window.props[property] = value;
        if (property == BrowserProperty::Visible && value)
            m_desktop.browserShown(window);
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

bool SimBrowserObject::get(BrowserProperty property)
{
    return read(memberName(property)).props[property];
}

void SimBrowserObject::Navigate(const std::string& url)
{
    json call = {{"op", "Navigate"}, {"window", m_window->id}, {"url", url}};
    try {
        SimWindow& window = use("Navigate");
        m_desktop.record(std::move(call));
        window.url = url;
        window.title.clear();
        window.name.reset();
        window.document = std::make_shared<SimDocumentData>();
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

void SimBrowserObject::Quit()
{
    json call = {{"op", "Quit"}, {"window", m_window->id}};
    try {
        SimWindow& window = use("Quit");
        m_desktop.record(std::move(call));
        m_desktop.browserClosed(window);
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

// ---- document ----

SimDocumentObject::SimDocumentObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window,
                                     std::shared_ptr<SimDocumentData> data)
    : m_desktop(desktop), m_window(std::move(window)), m_data(std::move(data))
{}

SimDocumentData& SimDocumentObject::read(std::string_view member)
{
    const std::string name(member);
    const bool fails = m_window->closed || m_data->fail.count(name) > 0;
    if (m_desktop.logReads()) {
        json call = {
            {"op", "get"}, {"window", m_window->id}, {"target", "document"}, {"prop", name}};
        if (fails)
            call["failed"] = true;
        m_desktop.record(std::move(call));
    }
    if (m_window->closed)
        throw Error(name, "the window is closed");
    if (fails)
        throw Error(name, "injected failure");
    return *m_data;
}

SimBody& SimDocumentObject::body(std::string_view member)
{
    SimDocumentData& data = read("body");
    if (!data.body)
        throw Error(std::string(member), "the document has no body");
    return *data.body;
}

void SimDocumentObject::put(json call, std::string_view member, const std::function<void()>& change)
{
    call["window"] = m_window->id;
    try {
        if (m_window->closed)
            throw Error(std::string(member), "the window is closed");
        if (m_data->fail.count(std::string(member)))
            throw Error(std::string(member), "injected failure");
        change();
        m_desktop.record(std::move(call));
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

std::string SimDocumentObject::Title()
{
    read("Title");
    return m_window->title;
}

std::shared_ptr<PageWindow> SimDocumentObject::parentwindow()
{
    read("parentwindow");
    return std::make_shared<SimPageWindowObject>(m_desktop, m_window, m_data, -1);
}

int SimDocumentObject::FramesLength()
{
    return static_cast<int>(read("Frames").frames.size());
}

std::shared_ptr<PageWindow> SimDocumentObject::FramesItem(int index)
{
    const auto& frames = read("Frames").frames;
    if (index < 0 || index >= static_cast<int>(frames.size()))
        throw Error("Frames", "no such frame");
    return std::make_shared<SimPageWindowObject>(m_desktop, m_window, m_data, index);
}

std::string SimDocumentObject::bodyBackground()
{
    return body("background").background;
}

void SimDocumentObject::putBodyBackground(const std::string& value)
{
    put({{"op", "put"}, {"target", "body"}, {"prop", "background"}, {"value", value}}, "body",
        [&] { body("background").background = value; });
}

std::string SimDocumentObject::bodyFontSize()
{
    return body("fontSize").fontSize;
}

void SimDocumentObject::putBodyFontSize(const std::string& value)
{
    put({{"op", "put"}, {"target", "body.style"}, {"prop", "fontSize"}, {"value", value}}, "body",
        [&] { body("fontSize").fontSize = value; });
}

void SimDocumentObject::putColor(DocumentColor color, std::int32_t rgb)
{
    const std::string name(memberName(color));
    put({{"op", "put"}, {"target", "document"}, {"prop", name}, {"value", rgb}}, name,
        [&] { m_data->colors[static_cast<std::size_t>(color)] = rgb; });
}

std::string SimDocumentObject::referrer()
{
    return read("referrer").referrer;
}

std::string SimDocumentObject::cookie()
{
    return read("cookie").cookie;
}

std::string SimDocumentObject::lastModified()
{
    return read("lastModified").lastModified;
}

int SimDocumentObject::collectionLength(DocumentCollection collection)
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

std::string SimDocumentObject::imageHref(int index)
{
    const auto& images = read("images").images;
    if (index < 0 || index >= static_cast<int>(images.size()))
        throw Error("images", "no such image");
    return images[static_cast<std::size_t>(index)].href;
}

std::string SimDocumentObject::imageFileSize(int index)
{
    const auto& images = read("images").images;
    if (index < 0 || index >= static_cast<int>(images.size()) ||
        !images[static_cast<std::size_t>(index)].filesize)
        throw Error("filesize", "not available");
    return *images[static_cast<std::size_t>(index)].filesize;
}

std::string SimDocumentObject::linkInnerHTML(int index)
{
    const auto& links = read("links").links;
    if (index < 0 || index >= static_cast<int>(links.size()))
        throw Error("links", "no such link");
    return links[static_cast<std::size_t>(index)].innerHTML;
}

std::string SimDocumentObject::linkHref(int index)
{
    const auto& links = read("links").links;
    if (index < 0 || index >= static_cast<int>(links.size()))
        throw Error("links", "no such link");
    return links[static_cast<std::size_t>(index)].href;
}

// ---- page window ----

SimPageWindowObject::SimPageWindowObject(SimDesktop& desktop, std::shared_ptr<SimWindow> window,
                                         std::shared_ptr<SimDocumentData> data, int frame)
    : m_desktop(desktop), m_window(std::move(window)), m_data(std::move(data)), m_frame(frame)
{}

SimWindow& SimPageWindowObject::use(std::string_view member)
{
    if (m_window->closed)
        throw Error(std::string(member), "the window is closed");
    return *m_window;
}

// Moving or sizing through the page brings a maximised window back to its normal
// state first; a minimised one keeps its state and gets a new normal rectangle.
void SimPageWindowObject::moveto(double x, double y)
{
    json call = {{"op", "moveto"}, {"window", m_window->id}, {"x", number(x)}, {"y", number(y)}};
    try {
        SimWindow& window = use("moveto");
        const int left = toLong(x, "moveto");
        const int top = toLong(y, "moveto");
        m_desktop.record(std::move(call));
        if (window.state == WindowState::Maximized)
            window.state = WindowState::Normal;
        window.bounds.left = left;
        window.bounds.top = top;
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

void SimPageWindowObject::resizeto(double width, double height)
{
    json call = {{"op", "resizeto"},
                 {"window", m_window->id},
                 {"width", number(width)},
                 {"height", number(height)}};
    try {
        SimWindow& window = use("resizeto");
        const int w = toLong(width, "resizeto");
        const int h = toLong(height, "resizeto");
        m_desktop.record(std::move(call));
        if (window.state == WindowState::Maximized)
            window.state = WindowState::Normal;
        window.bounds.width = w;
        window.bounds.height = h;
    } catch (const Error&) {
        call["failed"] = true;
        m_desktop.record(std::move(call));
        throw;
    }
}

int SimPageWindowObject::historyLength()
{
    use("history");
    if (m_data->fail.count("history"))
        throw Error("history", "injected failure");
    m_desktop.recordRead(*m_window, "document", "history");
    return m_data->history;
}

std::shared_ptr<PageWindow> SimPageWindowObject::Parent()
{
    use("Parent");
    return std::make_shared<SimPageWindowObject>(m_desktop, m_window, m_data, -1);
}

std::shared_ptr<HtmlDocument> SimPageWindowObject::Document()
{
    use("Document");
    if (m_frame >= 0)
        throw Error("Document", "a frame's document is out of reach");
    return std::make_shared<SimDocumentObject>(m_desktop, m_window, m_data);
}

std::string SimPageWindowObject::Location()
{
    SimWindow& window = use("Location");
    if (m_frame < 0)
        return window.url;
    const SimFrame& frame = m_data->frames.at(static_cast<std::size_t>(m_frame));
    if (frame.fail)
        throw Error("Location", "the frame's address cannot be read");
    return frame.url;
}

// ---- shell ----

std::vector<std::shared_ptr<Browser>> SimShellWindowsObject::items()
{
    std::vector<std::shared_ptr<Browser>> result;
    for (const auto& window : m_desktop.allWindows()) {
        if (!window->closed && window->inShellCollection())
            result.push_back(std::make_shared<SimBrowserObject>(m_desktop, window));
    }
    return result;
}

std::shared_ptr<ShellWindows> SimShellObject::windows()
{
    return std::make_shared<SimShellWindowsObject>(m_desktop);
}

void SimShellObject::MinimizeAll()
{
    m_desktop.arrange("MinimizeAll");
}

void SimShellObject::TileVertically()
{
    m_desktop.arrange("TileVertically");
}

void SimShellObject::TileHorizontally()
{
    m_desktop.arrange("TileHorizontally");
}

void SimShellObject::CascadeWindows()
{
    m_desktop.arrange("CascadeWindows");
}

std::string SimScriptingShellObject::SpecialFolders(const std::string& name)
{
    const auto& folders = m_desktop.setup().folders;
    const auto it = folders.find(name);
    return it == folders.end() ? std::string() : it->second;
}

} // namespace automation::sim
