#include "automation/chromium/ChromiumClient.h"

#include "automation/Error.h"

#include <algorithm>

namespace automation::chromium {

ChromiumClient::ChromiumClient(const ChromiumSettings& settings, WaitClock& clock)
    : m_connection(settings, clock), m_reuse(clock, settings.readReuse), m_targets(m_connection),
      m_windows(m_connection, m_targets, m_reuse), m_pages(m_connection, m_targets, m_reuse),
      m_sheets(m_pages, settings.styleSetupTimeout),
      m_refresh(m_connection, m_targets, m_windows, m_pages, m_reuse)
{
    m_targets.addListener(m_windows);
    m_targets.addListener(m_pages);
    m_targets.addListener(m_refresh);
    m_targets.addListener(m_sheets);
    m_connection.onEvent([this](const BrowserEvent& event) { m_targets.apply(event); });
    m_connection.onLost([this] {
        m_targets.clear();
        m_windows.clear();
        m_pages.clear();
        m_sheets.clear();
        m_refresh.clear();
        m_reuse.invalidate();
    });
}

ChromiumClient::~ChromiumClient()
{
    disconnect();
}

void ChromiumClient::require(const std::string& member, const std::string& targetId,
                             std::uint64_t generation)
{
    if (!connected() || m_connection.generation() != generation)
        throw Error(member, "the browser is gone");
    if (!knows(targetId))
        throw Error(member, "the window is closed");
}

std::vector<std::string> ChromiumClient::listedPages()
{
    // A reading the list did not wait for to the end: what has not answered reads busy.
    m_refresh.finish();
    if (auto pages = m_refresh.pages())
        return std::move(*pages);
    return pageTargets();
}

std::string ChromiumClient::createWindow(const std::string& member)
{
    m_connection.ensureBrowser(member);
    m_reuse.invalidate();
    return m_targets.createWindow(member);
}

void ChromiumClient::closeTarget(const std::string& member, const std::string& targetId)
{
    m_targets.known(member, targetId);
    m_reuse.invalidate();
    m_targets.closeTarget(member, targetId);
}

void ChromiumClient::activateTarget(const std::string& member, const std::string& targetId)
{
    m_targets.known(member, targetId);
    m_reuse.invalidate();
    m_targets.activateTarget(member, targetId);
    m_windows.tabShown(targetId);
}

PageSnapshot ChromiumClient::snapshot(const std::string& member, const std::string& targetId)
{
    PageSnapshot snapshot = m_pages.snapshot(member, targetId);
    if (snapshot.visible)
        m_windows.tabShown(targetId);
    return snapshot;
}

std::optional<std::string> ChromiumClient::findPageByTitle(const std::string& wanted)
{
    const std::vector<std::string> pages = pageTargets();
    const auto documentTitle = [&](const std::string& id) {
        const PageSnapshot* read = m_pages.lastSnapshot(id);
        return read && read->title == wanted;
    };
    // Another tab may show the same title: the one just read is the one meant.
    if (m_titleRead.second == wanted &&
        std::find(pages.begin(), pages.end(), m_titleRead.first) != pages.end()) {
        if (title(m_titleRead.first) == wanted || documentTitle(m_titleRead.first))
            return m_titleRead.first;
    }
    for (const std::string& id : pages) {
        if (title(id) == wanted)
            return id;
    }
    // The browser's idea of a title can lag behind the page's own, last read.
    for (const std::string& id : pages) {
        if (documentTitle(id))
            return id;
    }
    return std::nullopt;
}

} // namespace automation::chromium
