#include "automation/sim/SimBrowser.h"

#include "automation/Error.h"
#include "automation/sim/SimDocument.h"
#include "automation/sim/SimState.h"

namespace automation::sim {

using nlohmann::json;

SimBrowser::SimBrowser(SimState& state, std::shared_ptr<SimWindow> window)
    : m_state(state), m_window(std::move(window))
{}

SimWindow& SimBrowser::use(std::string_view member)
{
    if (m_window->closed)
        throw Error(std::string(member), "the window is closed");
    if (m_window->fail.count(std::string(member)))
        throw Error(std::string(member), "injected failure");
    return *m_window;
}

SimWindow& SimBrowser::read(std::string_view member)
{
    try {
        SimWindow& window = use(member);
        m_state.recordRead(window, "browser", member);
        return window;
    } catch (const Error&) {
        if (m_state.logReads())
            m_state.record({{"op", "get"},
                            {"window", m_window->id},
                            {"target", "browser"},
                            {"prop", member},
                            {"failed", true}});
        throw;
    }
}

bool SimBrowser::busy()
{
    return read("busy").busy;
}

std::string SimBrowser::LocationURL()
{
    return read("LocationURL").url;
}

std::string SimBrowser::LocationName()
{
    return read("LocationName").locationName();
}

std::string SimBrowser::browserName()
{
    return read("browserName").browser;
}

Hwnd SimBrowser::hWnd()
{
    return read("hWnd").hwnd;
}

Rect SimBrowser::bounds()
{
    const SimWindow& window = read("bounds");
    if (window.state == WindowState::Maximized)
        return {0, 0, m_state.screenPixels().first, m_state.screenPixels().second};
    return window.bounds;
}

long SimBrowser::Height()
{
    const SimWindow& window = read("Height");
    switch (window.state) {
    case WindowState::Minimized:
        return 24;
    case WindowState::Maximized:
        return m_state.screenPixels().second;
    case WindowState::Normal:
        break;
    }
    return window.bounds.height;
}

long SimBrowser::Width()
{
    const SimWindow& window = read("Width");
    switch (window.state) {
    case WindowState::Minimized:
        return 160;
    case WindowState::Maximized:
        return m_state.screenPixels().first;
    case WindowState::Normal:
        break;
    }
    return window.bounds.width;
}

std::shared_ptr<HtmlDocument> SimBrowser::Document()
{
    SimWindow& window = read("Document");
    if (!window.document)
        return nullptr;
    return std::make_shared<SimDocument>(m_state, m_window, window.document);
}

void SimBrowser::put(BrowserProperty property, bool value)
{
    const std::string name(memberName(property));
    json call = {{"op", "put"},
                 {"window", m_window->id},
                 {"target", "browser"},
                 {"prop", name},
                 {"value", value}};
    try {
        SimWindow& window = use(name);
        m_state.record(std::move(call));
        window.props[property] = value;
        if (property == BrowserProperty::Visible && value)
            m_state.browserShown(window);
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

bool SimBrowser::get(BrowserProperty property)
{
    return read(memberName(property)).props[property];
}

void SimBrowser::Navigate(const std::string& url)
{
    json call = {{"op", "Navigate"}, {"window", m_window->id}, {"url", url}};
    try {
        SimWindow& window = use("Navigate");
        m_state.record(std::move(call));
        window.url = url;
        window.title.clear();
        window.name.reset();
        window.document = std::make_shared<SimDocumentData>();
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

void SimBrowser::Quit()
{
    json call = {{"op", "Quit"}, {"window", m_window->id}};
    try {
        SimWindow& window = use("Quit");
        m_state.record(std::move(call));
        m_state.browserClosed(window);
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

} // namespace automation::sim
