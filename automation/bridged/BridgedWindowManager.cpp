#include "automation/bridged/BridgedWindowManager.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/WindowStateName.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedBrowser.h"
#include "automation/bridged/BridgedDocument.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/FavoriteShortcut.h"

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace automation::bridged {

using nlohmann::json;
namespace checked = chromium::checked;

namespace {

// What follows a page's title in the caption the program makes of it.
constexpr std::string_view kBrowserCaptionSuffix = " - Microsoft Internet Explorer";

std::optional<std::string> titleOfCaption(const std::string& caption)
{
    if (caption.size() < kBrowserCaptionSuffix.size() ||
        caption.compare(caption.size() - kBrowserCaptionSuffix.size(), kBrowserCaptionSuffix.size(),
                        kBrowserCaptionSuffix) != 0)
        return std::nullopt;
    return caption.substr(0, caption.size() - kBrowserCaptionSuffix.size());
}

const char* stateName(WindowState state, bool fullscreen)
{
    return fullscreen ? "fullscreen" : windowStateName(state);
}

} // namespace

BridgedWindowManager::BridgedWindowManager(WindowManager& inner, std::shared_ptr<BridgeHub> hub,
                                           std::string favoritesFolder, FileSystem& files)
    : m_inner(inner), m_hub(std::move(hub)), m_favoritesFolder(std::move(favoritesFolder)),
      m_files(files)
{}

BridgedWindowManager::Target BridgedWindowManager::target(const char* member, Hwnd hwnd)
{
    const auto window = m_hub->window(hwnd);
    if (!window)
        throw Error(member, "the browser of this window has gone");
    if (!window->peer->model().window(window->windowId))
        throw Error(member, "the window has been closed");
    return {window->peer, window->windowId};
}

Hwnd BridgedWindowManager::attachMainWindow(HostWindow& window)
{
    return m_inner.attachMainWindow(window);
}

void BridgedWindowManager::detachMainWindow()
{
    m_inner.detachMainWindow();
}

void BridgedWindowManager::SetWindowPos(Hwnd hwnd, Hwnd insertAfter, int x, int y, int cx, int cy,
                                        unsigned flags)
{
    if (!BridgeHub::owns(hwnd)) {
        m_inner.SetWindowPos(hwnd, insertAfter, x, y, cx, cy, flags);
        return;
    }
    // An extension cannot keep a window above the others: only place and size apply.
    const Target window = target("SetWindowPos", hwnd);
    json fields = json::object();
    if (!(flags & SWP_NOMOVE)) {
        fields["left"] = x;
        fields["top"] = y;
    }
    if (!(flags & SWP_NOSIZE) && cx > 0 && cy > 0) {
        fields["width"] = cx;
        fields["height"] = cy;
    }
    if (!fields.empty())
        updateWindow(*window.peer, "SetWindowPos", window.windowId, std::move(fields));
}

bool BridgedWindowManager::IsZoomed(Hwnd hwnd)
{
    if (!BridgeHub::owns(hwnd))
        return m_inner.IsZoomed(hwnd);
    const Target window = target("IsZoomed", hwnd);
    const BridgeWindow* state = window.peer->model().window(window.windowId);
    return state->state == WindowState::Maximized || state->fullscreen;
}

bool BridgedWindowManager::IsIconic(Hwnd hwnd)
{
    if (!BridgeHub::owns(hwnd))
        return m_inner.IsIconic(hwnd);
    const Target window = target("IsIconic", hwnd);
    return window.peer->model().window(window.windowId)->state == WindowState::Minimized;
}

void BridgedWindowManager::CloseWindow(Hwnd hwnd)
{
    if (!BridgeHub::owns(hwnd)) {
        m_inner.CloseWindow(hwnd);
        return;
    }
    const Target window = target("CloseWindow", hwnd);
    const BridgeWindow* state = window.peer->model().window(window.windowId);
    if (state->state == WindowState::Minimized)
        return;
    m_beforeMinimize[hwnd] = stateName(state->state, state->fullscreen);
    updateWindow(*window.peer, "CloseWindow", window.windowId, {{"state", "minimized"}});
}

void BridgedWindowManager::activateTab(const char* member, const std::shared_ptr<BridgePeer>& peer,
                                       std::int64_t tabId)
{
    const json result = peer->request(member, "tab.activate", {{"tabId", tabId}});
    peer->model().takeTab(checked::at(result, "tab"));
    m_activePeer = peer;
    m_activeTab = tabId;
}

void BridgedWindowManager::ShowWindow(Hwnd hwnd, WindowState state)
{
    if (!BridgeHub::owns(hwnd)) {
        m_inner.ShowWindow(hwnd, state);
        return;
    }
    const Target window = target("ShowWindow", hwnd);
    m_beforeMinimize.erase(hwnd);
    updateWindow(*window.peer, "ShowWindow", window.windowId, {{"state", stateName(state, false)}});
}

void BridgedWindowManager::OpenIcon(Hwnd hwnd)
{
    if (!BridgeHub::owns(hwnd)) {
        m_inner.OpenIcon(hwnd);
        m_activeTab.reset();
        return;
    }
    const Target window = target("OpenIcon", hwnd);
    if (window.peer->model().window(window.windowId)->state == WindowState::Minimized) {
        const auto before = m_beforeMinimize.find(hwnd);
        updateWindow(*window.peer, "OpenIcon", window.windowId,
                     {{"state", before == m_beforeMinimize.end() ? "normal" : before->second},
                      {"focused", true}});
    }
    m_beforeMinimize.erase(hwnd);
    // Restoring activates the window: the keystrokes that follow go to its tab.
    if (const BridgeTab* tab = window.peer->model().activeTab(window.windowId))
        activateTab("OpenIcon", window.peer, tab->id);
}

void BridgedWindowManager::AppActivate(const std::string& caption)
{
    const auto title = titleOfCaption(caption);
    // The tab whose title the program read last is the one it made the caption of;
    // otherwise the windows underneath come first, then the bridged tabs.
    if (title && m_hub->titleReadLast(*title)) {
        if (const auto tab = m_hub->findTabByTitle(*title)) {
            activateTab("AppActivate", tab->peer, tab->tabId);
            return;
        }
    }
    try {
        m_inner.AppActivate(caption);
        m_activeTab.reset();
    } catch (const Error&) {
        const auto tab = title ? m_hub->findTabByTitle(*title) : std::nullopt;
        if (!tab)
            throw;
        activateTab("AppActivate", tab->peer, tab->tabId);
    }
}

void BridgedWindowManager::SendKeys(const std::string& keys)
{
    // A bridged tab answers only the add-to-favourites keystrokes, as the program's own
    // browser does.
    if (m_activeTab)
        writeFavorite(keys);
    else
        m_inner.SendKeys(keys);
}

bool BridgedWindowManager::writeFavorite(const std::string& keys)
{
    const auto name = chromium::favoriteNameFromKeys(keys);
    const auto peer = m_activePeer.lock();
    if (!name || !peer || !peer->alive())
        return false;
    const BridgeTab* tab = peer->model().tab(*m_activeTab);
    if (!tab)
        return false;
    const std::string url = tab->url;
    // Every frame below the page with its name and address, in the order of the
    // frames' paths from the top.
    std::vector<std::pair<std::vector<std::int64_t>, chromium::ShortcutFrame>> found;
    for (const json& frame : runInAllFrames(*peer, "SendKeys", *m_activeTab, "frame")) {
        const json& result = checked::at(frame, "result");
        std::vector<std::int64_t> path;
        for (const json& step : checked::arrayAt(result, "path"))
            path.push_back(checked::integer(step, 0, limits::kMaxFrames).value_or(0));
        std::string frameUrl = checked::lineAt(result, "url", limits::kMaxAddress);
        if (path.empty() || frameUrl.empty())
            continue;
        found.emplace_back(
            std::move(path),
            chromium::ShortcutFrame{checked::lineAt(result, "name", limits::kMaxPageText),
                                    std::move(frameUrl)});
    }
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<chromium::ShortcutFrame> frames;
    frames.reserve(found.size());
    for (auto& entry : found)
        frames.push_back(std::move(entry.second));
    const std::string bytes = chromium::favoriteShortcutBytes(url, frames);
    std::error_code error;
    std::filesystem::create_directories(m_favoritesFolder, error);
    if (!std::filesystem::is_directory(m_favoritesFolder, error))
        throw Error("SendKeys", "cannot make the Favourites folder " + m_favoritesFolder);
    if (auto written = m_files.replaceFile(m_favoritesFolder + "/" + *name + ".url", bytes);
        !written)
        throw Error("SendKeys",
                    "cannot write the favourite " + *name + ": " + written.error().detail);
    return true;
}

ScreenMetrics BridgedWindowManager::screen()
{
    return m_inner.screen();
}

void BridgedWindowManager::beginBatch()
{
    m_hub->batchOpened();
    m_inner.beginBatch();
}

void BridgedWindowManager::commitBatch()
{
    m_inner.commitBatch();
    m_hub->batchCommitted();
}

} // namespace automation::bridged
