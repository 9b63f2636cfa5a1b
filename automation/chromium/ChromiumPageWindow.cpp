#include "automation/chromium/ChromiumPageWindow.h"

#include "automation/Error.h"
#include "automation/Limits.h"
#include "automation/chromium/Checked.h"
#include "automation/chromium/ChromiumClient.h"
#include "automation/chromium/ChromiumDocument.h"
#include "automation/chromium/PageScripts.h"

#include <cmath>
#include <limits>

namespace automation::chromium {

using nlohmann::json;

int toPixels(double value, const char* member)
{
    const double rounded = std::nearbyint(value);
    if (!std::isfinite(rounded) || std::fabs(rounded) > 1'000'000)
        throw Error(member, "not a size or place on any screen");
    return static_cast<int>(rounded);
}

ChromiumPageWindow::ChromiumPageWindow(std::shared_ptr<ChromiumClient> client, std::string targetId,
                                       std::uint64_t generation, int frame)
    : m_client(std::move(client)), m_targetId(std::move(targetId)), m_generation(generation),
      m_frame(frame)
{}

ChromiumClient& ChromiumPageWindow::use(const std::string& member)
{
    m_client->require(member, m_targetId, m_generation);
    return *m_client;
}

void ChromiumPageWindow::moveto(double x, double y)
{
    const int left = toPixels(x, "moveto");
    const int top = toPixels(y, "moveto");
    ChromiumClient& client = use("moveto");
    client.setWindowRect("moveto", client.windowOf("moveto", m_targetId).windowId,
                         WindowRect{left, top, {}, {}});
}

void ChromiumPageWindow::resizeto(double width, double height)
{
    const int w = toPixels(width, "resizeto");
    const int h = toPixels(height, "resizeto");
    if (w <= 0 || h <= 0)
        throw Error("resizeto", "a window needs a positive size");
    ChromiumClient& client = use("resizeto");
    client.setWindowRect("resizeto", client.windowOf("resizeto", m_targetId).windowId,
                         WindowRect{{}, {}, w, h});
}

int ChromiumPageWindow::historyLength()
{
    const json value =
        use("history").readFunction("history", m_targetId, scripts::kHistoryLength, {});
    return static_cast<int>(checked::requireInteger(
        "history", value, 0, std::numeric_limits<std::int32_t>::max(), "number"));
}

std::shared_ptr<PageWindow> ChromiumPageWindow::Parent()
{
    use("Parent");
    return std::make_shared<ChromiumPageWindow>(m_client, m_targetId, m_generation, -1);
}

std::shared_ptr<HtmlDocument> ChromiumPageWindow::Document()
{
    use("Document");
    // A frame's document may belong to another site; the program reaches frames only
    // through their addresses.
    if (m_frame >= 0)
        throw Error("Document", "a frame's document is out of reach");
    return std::make_shared<ChromiumDocument>(m_client, m_targetId, m_generation);
}

std::string ChromiumPageWindow::Location()
{
    ChromiumClient& client = use("Location");
    if (m_frame < 0) {
        const json value =
            client.readFunction("Location", m_targetId, scripts::kLocation, {limits::kMaxAddress});
        if (!value.is_string())
            throw Error("Location", "the page gave no address");
        return checked::lineText(value.get<std::string>(), limits::kMaxAddress);
    }
    const auto frames = client.childFrames("Location", m_targetId);
    if (m_frame >= static_cast<int>(frames.size()) ||
        frames[static_cast<std::size_t>(m_frame)].url.empty())
        throw Error("Location", "the frame's address cannot be read");
    return frames[static_cast<std::size_t>(m_frame)].url;
}

} // namespace automation::chromium
