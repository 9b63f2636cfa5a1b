#include "automation/chromium/ChromiumWindows.h"

#include "automation/Error.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/FavoriteShortcut.h"
#include "automation/chromium/WindowHandle.h"

#include <filesystem>
#include <system_error>

namespace automation::chromium {

ChromiumWindows::ChromiumWindows(std::shared_ptr<ChromiumClient> client,
                                 std::string favoritesFolder, FileSystem& files)
    : m_client(std::move(client)), m_favoritesFolder(std::move(favoritesFolder)), m_files(files)
{}

bool ChromiumWindows::owns(Hwnd hwnd)
{
    return isBrowserWindowHandle(hwnd);
}

bool ChromiumWindows::isZoomed(Hwnd hwnd)
{
    const WindowState state = m_client->windowBounds("IsZoomed", windowOfHandle(hwnd)).state;
    // A full-screen window covers the screen as a maximised one does.
    return state == WindowState::Maximized || state == WindowState::Fullscreen;
}

bool ChromiumWindows::isIconic(Hwnd hwnd)
{
    return m_client->windowBounds("IsIconic", windowOfHandle(hwnd)).state == WindowState::Minimized;
}

void ChromiumWindows::minimize(Hwnd hwnd)
{
    const std::int64_t windowId = windowOfHandle(hwnd);
    const WindowState state = m_client->windowBounds("CloseWindow", windowId).state;
    if (state == WindowState::Minimized)
        return;
    m_beforeMinimize[windowId] = state;
    m_client->setWindowState("CloseWindow", windowId, WindowState::Minimized);
}

void ChromiumWindows::show(Hwnd hwnd, automation::WindowState state)
{
    if (state == automation::WindowState::Minimized) {
        minimize(hwnd);
        return;
    }
    const std::int64_t windowId = windowOfHandle(hwnd);
    m_beforeMinimize.erase(windowId);
    m_client->setWindowState("ShowWindow", windowId,
                             state == automation::WindowState::Maximized ? WindowState::Maximized
                                                                         : WindowState::Normal);
}

void ChromiumWindows::restore(Hwnd hwnd)
{
    const std::int64_t windowId = windowOfHandle(hwnd);
    if (m_client->windowBounds("OpenIcon", windowId).state == WindowState::Minimized) {
        const auto before = m_beforeMinimize.find(windowId);
        const WindowState state =
            before == m_beforeMinimize.end() ? WindowState::Normal : before->second;
        m_client->setWindowState("OpenIcon", windowId, state);
    }
    m_beforeMinimize.erase(windowId);
    if (const auto tab = m_client->shownTab(windowId)) {
        m_client->activateTarget("OpenIcon", *tab);
        m_activeTab = *tab;
    }
}

void ChromiumWindows::beginBatch()
{
    m_client->beginWindowBatch();
}

void ChromiumWindows::commitBatch()
{
    m_client->commitWindowBatch();
}

bool ChromiumWindows::activateByTitle(const std::string& title)
{
    const auto tab = m_client->findPageByTitle(title);
    if (!tab)
        return false;
    m_client->activateTarget("AppActivate", *tab);
    m_activeTab = *tab;
    return true;
}

bool ChromiumWindows::sendKeys(const std::string& keys)
{
    const auto name = favoriteNameFromKeys(keys);
    if (!name || !m_activeTab || !m_client->knows(*m_activeTab))
        return false;
    const std::string tab = *m_activeTab;
    std::vector<ShortcutFrame> frames;
    for (const FrameAddress& frame : m_client->allFrames("SendKeys", tab)) {
        if (!frame.url.empty())
            frames.push_back({frame.name, frame.url});
    }
    const std::string bytes = favoriteShortcutBytes(m_client->url(tab), frames);
    std::error_code error;
    std::filesystem::create_directories(m_favoritesFolder, error);
    if (!std::filesystem::is_directory(m_favoritesFolder, error))
        throw Error("SendKeys", "cannot make the Favourites folder " + m_favoritesFolder);
    // Replaced whole, so the Favourites clean-up never meets a half-written shortcut.
    if (!m_files.replaceFile(m_favoritesFolder + "/" + *name + ".url", bytes))
        throw Error("SendKeys", "cannot write the favourite " + *name);
    return true;
}

} // namespace automation::chromium
