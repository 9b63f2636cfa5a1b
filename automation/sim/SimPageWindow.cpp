#include "automation/sim/SimPageWindow.h"

#include "automation/Error.h"
#include "automation/sim/SimDocument.h"
#include "automation/sim/SimState.h"

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
        return static_cast<long long>(value);
    if (!std::isfinite(value))
        return value;
    // Fifteen significant digits, as the automation layer shows a double: 768 * 0.05
    // reads 38.4, not 38.400000000000006.
    char digits[32];
    const auto written =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::general, 15);
    double shown = value;
    std::from_chars(digits, written.ptr, shown);
    return shown;
}

} // namespace

SimPageWindow::SimPageWindow(SimState& state, std::shared_ptr<SimWindow> window,
                             std::shared_ptr<SimDocumentData> data, int frame)
    : m_state(state), m_window(std::move(window)), m_data(std::move(data)), m_frame(frame)
{}

SimWindow& SimPageWindow::use(std::string_view member)
{
    if (m_window->closed)
        throw Error(std::string(member), "the window is closed");
    return *m_window;
}

// Moving or sizing through the page brings a maximised window back to its normal
// state first; a minimised one keeps its state and gets a new normal rectangle.
void SimPageWindow::moveto(double x, double y)
{
    json call = {{"op", "moveto"}, {"window", m_window->id}, {"x", number(x)}, {"y", number(y)}};
    try {
        SimWindow& window = use("moveto");
        const int left = toLong(x, "moveto");
        const int top = toLong(y, "moveto");
        m_state.record(std::move(call));
        if (window.state == WindowState::Maximized)
            window.state = WindowState::Normal;
        window.bounds.left = left;
        window.bounds.top = top;
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

void SimPageWindow::resizeto(double width, double height)
{
    json call = {{"op", "resizeto"},
                 {"window", m_window->id},
                 {"width", number(width)},
                 {"height", number(height)}};
    try {
        SimWindow& window = use("resizeto");
        const int w = toLong(width, "resizeto");
        const int h = toLong(height, "resizeto");
        m_state.record(std::move(call));
        if (window.state == WindowState::Maximized)
            window.state = WindowState::Normal;
        window.bounds.width = w;
        window.bounds.height = h;
    } catch (const Error&) {
        call["failed"] = true;
        m_state.record(std::move(call));
        throw;
    }
}

int SimPageWindow::historyLength()
{
    use("history");
    if (m_data->fail.count("history"))
        throw Error("history", "injected failure");
    m_state.recordRead(*m_window, "document", "history");
    return m_data->history;
}

std::shared_ptr<PageWindow> SimPageWindow::Parent()
{
    use("Parent");
    return std::make_shared<SimPageWindow>(m_state, m_window, m_data, -1);
}

std::shared_ptr<HtmlDocument> SimPageWindow::Document()
{
    use("Document");
    if (m_frame >= 0)
        throw Error("Document", "a frame's document is out of reach");
    return std::make_shared<SimDocument>(m_state, m_window, m_data);
}

std::string SimPageWindow::Location()
{
    SimWindow& window = use("Location");
    if (m_frame < 0)
        return window.url;
    const SimFrame& frame = m_data->frames.at(static_cast<std::size_t>(m_frame));
    if (frame.fail)
        throw Error("Location", "the frame's address cannot be read");
    return frame.url;
}

} // namespace automation::sim
