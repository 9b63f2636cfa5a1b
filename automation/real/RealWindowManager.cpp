#include "automation/real/RealWindowManager.h"

#include "automation/Error.h"
#include "automation/chromium/ChromiumWindows.h"
#include "automation/x11/X11Desktop.h"

#include <string_view>

namespace automation {

namespace {

// What follows a page's title in the caption of the window showing it.
constexpr std::string_view kBrowserCaptionSuffix = " - Microsoft Internet Explorer";

bool isBrowserCaption(const std::string& caption)
{
    return caption.size() >= kBrowserCaptionSuffix.size() &&
           caption.compare(caption.size() - kBrowserCaptionSuffix.size(),
                           kBrowserCaptionSuffix.size(), kBrowserCaptionSuffix) == 0;
}

} // namespace

RealWindowManager::RealWindowManager(x11::X11Desktop& desktop, chromium::ChromiumWindows& browsers)
    : m_desktop(desktop), m_browsers(browsers)
{}

Hwnd RealWindowManager::attachMainWindow(HostWindow& window)
{
    return m_desktop.attachMainWindow(window);
}

void RealWindowManager::detachMainWindow()
{
    m_desktop.detachMainWindow();
}

void RealWindowManager::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                                     unsigned flags)
{
    m_desktop.SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
}

bool RealWindowManager::IsZoomed(Hwnd hwnd)
{
    return chromium::ChromiumWindows::owns(hwnd) ? m_browsers.isZoomed(hwnd)
                                                 : m_desktop.IsZoomed(hwnd);
}

bool RealWindowManager::IsIconic(Hwnd hwnd)
{
    return chromium::ChromiumWindows::owns(hwnd) ? m_browsers.isIconic(hwnd)
                                                 : m_desktop.IsIconic(hwnd);
}

void RealWindowManager::CloseWindow(Hwnd hwnd)
{
    if (chromium::ChromiumWindows::owns(hwnd))
        m_browsers.minimize(hwnd);
    else
        m_desktop.CloseWindow(hwnd);
}

void RealWindowManager::OpenIcon(Hwnd hwnd)
{
    // Restoring activates the window: the keystrokes that follow go to it.
    if (chromium::ChromiumWindows::owns(hwnd)) {
        m_browsers.restore(hwnd);
        m_browserActive = true;
    } else {
        m_desktop.OpenIcon(hwnd);
        m_browserActive = false;
    }
}

void RealWindowManager::ShowWindow(Hwnd hwnd, WindowState state)
{
    if (chromium::ChromiumWindows::owns(hwnd))
        m_browsers.show(hwnd, state);
    else
        m_desktop.ShowWindow(hwnd, state);
}

void RealWindowManager::AppActivate(const std::string& caption)
{
    if (isBrowserCaption(caption)) {
        const std::string title = caption.substr(0, caption.size() - kBrowserCaptionSuffix.size());
        if (!m_browsers.activateByTitle(title))
            throw Error("AppActivate", "no browser tab shows the title " + title);
        m_browserActive = true;
        return;
    }
    m_desktop.AppActivate(caption);
    m_browserActive = false;
}

void RealWindowManager::SendKeys(const std::string& keys)
{
    // The browser answers only the add-to-favourites keystrokes; others go unanswered,
    // as they would in a window that has no use for them.
    if (m_browserActive)
        m_browsers.sendKeys(keys);
    else
        m_desktop.SendKeys(keys);
}

ScreenMetrics RealWindowManager::screen()
{
    return m_desktop.screen();
}

void RealWindowManager::beginBatch()
{
    if (!m_batching)
        return;
    m_desktop.beginBatch();
    m_browsers.beginBatch();
}

void RealWindowManager::commitBatch()
{
    if (!m_batching)
        return;
    // The browser answers at once; the window manager's confirmations take longer.
    m_browsers.commitBatch();
    m_desktop.commitBatch();
}

} // namespace automation
