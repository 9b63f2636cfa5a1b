#include "automation/chromium/ChromiumBrowser.h"

#include "automation/Error.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumDocument.h"
#include "automation/chromium/WindowHandle.h"

namespace automation::chromium {

ChromiumBrowser::ChromiumBrowser(std::shared_ptr<ChromiumClient> client, std::string targetId)
    : m_client(std::move(client)), m_targetId(std::move(targetId)),
      m_generation(m_client->generation())
{}

ChromiumClient& ChromiumBrowser::use(const std::string& member)
{
    m_client->require(member, m_targetId, m_generation);
    return *m_client;
}

bool ChromiumBrowser::busy()
{
    return use("busy").snapshot("busy", m_targetId).busy;
}

std::string ChromiumBrowser::LocationURL()
{
    m_client->takeEvents();
    return use("LocationURL").url(m_targetId);
}

std::string ChromiumBrowser::LocationName()
{
    ChromiumClient& client = use("LocationName");
    // The document's own title, read with the loading flag; the browser's idea of
    // it can lag behind, but serves while the page does not answer.
    std::string title;
    try {
        title = client.snapshot("LocationName", m_targetId).title;
    } catch (const Error&) {
        title = client.title(m_targetId);
    }
    return title.empty() ? client.url(m_targetId) : title;
}

std::string ChromiumBrowser::browserName()
{
    use("browserName");
    return "Chromium";
}

Hwnd ChromiumBrowser::hWnd()
{
    return handleOfWindow(use("hWnd").windowOf("hWnd", m_targetId).windowId);
}

Rect ChromiumBrowser::bounds()
{
    const WindowBounds bounds = use("bounds").windowOf("bounds", m_targetId);
    return {bounds.left, bounds.top, bounds.width, bounds.height};
}

long ChromiumBrowser::Height()
{
    const WindowBounds bounds = use("Height").windowOf("Height", m_targetId);
    return bounds.state == WindowState::Minimized ? kMinimizedHeight : bounds.height;
}

long ChromiumBrowser::Width()
{
    const WindowBounds bounds = use("Width").windowOf("Width", m_targetId);
    return bounds.state == WindowState::Minimized ? kMinimizedWidth : bounds.width;
}

std::shared_ptr<HtmlDocument> ChromiumBrowser::Document()
{
    use("Document");
    return std::make_shared<ChromiumDocument>(m_client, m_targetId, m_generation);
}

void ChromiumBrowser::put(BrowserProperty property, bool value)
{
    const std::string member(memberName(property));
    ChromiumClient& client = use(member);
    const auto window = [&] { return client.windowOf(member, m_targetId); };
    switch (property) {
    case BrowserProperty::FullScreen:
    case BrowserProperty::TheaterMode:
        // Chromium's nearest to either is its full-screen window.
        if (value) {
            client.setWindowState(member, window().windowId, WindowState::Fullscreen);
        } else if (const WindowBounds bounds = window(); bounds.state == WindowState::Fullscreen) {
            client.setWindowState(member, bounds.windowId, WindowState::Normal);
        }
        break;
    case BrowserProperty::Visible:
        // A browser window cannot be hidden over the protocol; minimised is the
        // nearest, and showing again undoes only that.
        if (!value) {
            client.setWindowState(member, window().windowId, WindowState::Minimized);
        } else if (client.storedProperty(m_targetId, property) == false) {
            client.setWindowState(member, window().windowId, WindowState::Normal);
        }
        break;
    case BrowserProperty::AddressBar:
    case BrowserProperty::Toolbar:
    case BrowserProperty::MenuBar:
    case BrowserProperty::Resizable:
        // A normal Chromium window always has its tool bar and can always be sized:
        // the value is kept so that reading it back tells what the program wrote.
        break;
    }
    client.storeProperty(m_targetId, property, value);
}

bool ChromiumBrowser::get(BrowserProperty property)
{
    const std::string member(memberName(property));
    ChromiumClient& client = use(member);
    if (property == BrowserProperty::FullScreen)
        return client.windowOf(member, m_targetId).state == WindowState::Fullscreen;
    if (const auto stored = client.storedProperty(m_targetId, property))
        return *stored;
    // What a Chromium window shows by itself: tool and address bar, no menu bar.
    return property != BrowserProperty::MenuBar && property != BrowserProperty::TheaterMode;
}

std::string ChromiumBrowser::navigableAddress(const std::string& url)
{
    if (url.find("://") != std::string::npos)
        return url;
    for (const char* scheme : {"about:", "data:", "file:", "javascript:", "mailto:", "chrome:"}) {
        if (url.rfind(scheme, 0) == 0)
            return url;
    }
    if (!url.empty() && url.front() == '/')
        return "file://" + url;
    return "http://" + url;
}

void ChromiumBrowser::Navigate(const std::string& url)
{
    use("Navigate").navigate("Navigate", m_targetId, navigableAddress(url));
}

void ChromiumBrowser::Quit()
{
    use("Quit").closeTarget("Quit", m_targetId);
}

} // namespace automation::chromium
