// Steps behind the program's back: windows that open, change and close, files that
// change, and time that passes.
#include "automation/sim/SimDesktop.h"
#include "automation/sim/SimJson.h"
#include "scenario/Runner.h"

namespace tabulon::scenario {

using nlohmann::json;

void Runner::openWindow(const json& value)
{
    auto parsed = automation::sim::windowFromJson(value);
    if (desktop().find(parsed.window.id))
        throw Unusable("a window with the id \"" + parsed.window.id + "\" exists already");
    desktop().openWindow(std::move(parsed.window), parsed.hasOwnHandle);
}

void Runner::desktopStep(const json& step)
{
    const json& change = step["desktop"];
    if (change.contains("open")) {
        openWindow(change["open"]);
    } else if (change.contains("close")) {
        const std::string id = change["close"].get<std::string>();
        if (!desktop().find(id))
            throw Unusable("no window has the id \"" + id + "\"");
        desktop().closeWindow(id);
    } else {
        const json& set = change["set"];
        const std::string id = set["id"].get<std::string>();
        automation::sim::SimWindow* window = desktop().find(id);
        if (!window)
            throw Unusable("no window has the id \"" + id + "\"");
        automation::sim::applyWindowChange(desktop(), *window, set);
    }
}

void Runner::filesStep(const json& step)
{
    for (const auto& [name, content] : step["files"].items())
        writeFileSpec(m_workdir / name, content);
}

// The refresh tick fires whenever one is due in the time that passes.
void Runner::waitStep(const json& step)
{
    desktop().clock().advance(step["wait"].get<std::int64_t>());
}

} // namespace tabulon::scenario
