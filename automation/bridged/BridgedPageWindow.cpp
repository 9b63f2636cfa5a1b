#include "automation/bridged/BridgedPageWindow.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/bridged/BridgedBrowser.h"
#include "automation/bridged/BridgedDocument.h"
#include "automation/chromium/Checked.h"

#include <cmath>
#include <limits>

namespace automation::bridged {

using nlohmann::json;
namespace checked = chromium::checked;

namespace {

int pixels(double value, const char* member)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || std::fabs(rounded) > 1'000'000)
        throw Error(member, "not a size or place on any screen");
    return static_cast<int>(rounded);
}

} // namespace

BridgedPageWindow::BridgedPageWindow(std::shared_ptr<BridgeHub> hub,
                                     std::shared_ptr<BridgePeer> peer, std::int64_t tabId,
                                     int frame)
    : m_hub(std::move(hub)), m_peer(std::move(peer)), m_tabId(tabId), m_frame(frame)
{}

std::int64_t BridgedPageWindow::windowOfTab(const char* member) const
{
    if (!m_peer->alive())
        throw Error(member, "the browser has gone");
    const BridgeTab* tab = m_peer->model().tab(m_tabId);
    if (!tab)
        throw Error(member, "the tab has been closed");
    return tab->windowId;
}

void BridgedPageWindow::moveto(double x, double y)
{
    const int left = pixels(x, "moveto");
    const int top = pixels(y, "moveto");
    updateWindow(*m_peer, "moveto", windowOfTab("moveto"), {{"left", left}, {"top", top}});
}

void BridgedPageWindow::resizeto(double width, double height)
{
    const int w = pixels(width, "resizeto");
    const int h = pixels(height, "resizeto");
    if (w <= 0 || h <= 0)
        throw Error("resizeto", "a window needs a positive size");
    updateWindow(*m_peer, "resizeto", windowOfTab("resizeto"), {{"width", w}, {"height", h}});
}

int BridgedPageWindow::historyLength()
{
    const json report = runInTop(*m_peer, "history", m_tabId, "report");
    return static_cast<int>(checked::requireInteger("history", checked::at(report, "historyLength"),
                                                    0, std::numeric_limits<std::int32_t>::max(),
                                                    "number"));
}

std::shared_ptr<PageWindow> BridgedPageWindow::Parent()
{
    windowOfTab("Parent");
    return std::make_shared<BridgedPageWindow>(m_hub, m_peer, m_tabId, -1);
}

std::shared_ptr<HtmlDocument> BridgedPageWindow::Document()
{
    windowOfTab("Document");
    // A frame's document may belong to another site; the program reaches frames only
    // through their addresses.
    if (m_frame >= 0)
        throw Error("Document", "a frame's document is out of reach");
    return std::make_shared<BridgedDocument>(m_hub, m_peer, m_tabId);
}

std::string BridgedPageWindow::Location()
{
    if (m_frame < 0) {
        const json list = runInTop(*m_peer, "Location", m_tabId, "list");
        return checked::lineAt(list, "url", limits::kMaxAddress);
    }
    // The frame's own window among the top page's frames: path [index].
    for (const json& frame : runInAllFrames(*m_peer, "Location", m_tabId, "frame")) {
        const json& result = checked::at(frame, "result");
        const json& path = checked::arrayAt(result, "path");
        if (path.size() == 1 && checked::integer(path[0], 0, limits::kMaxFrames) == m_frame) {
            std::string url = checked::lineAt(result, "url", limits::kMaxAddress);
            if (url.empty())
                break;
            return url;
        }
    }
    throw Error("Location", "the frame's address cannot be read");
}

} // namespace automation::bridged
