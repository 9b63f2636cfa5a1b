#include "automation/sim/SimHelpViewer.h"

#include "automation/sim/SimState.h"

namespace automation::sim {

void SimHelpViewer::HtmlHelp(const std::string& file, const std::string& topic)
{
    m_state.record({{"op", "HtmlHelp"}, {"file", file}, {"topic", topic}});
}

} // namespace automation::sim
