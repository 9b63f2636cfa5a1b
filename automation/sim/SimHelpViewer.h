#pragma once

#include "automation/CommonDialog.h"

#include <string>

namespace automation::sim {

class SimState;

// Help requests are recorded.
class SimHelpViewer : public HelpViewer
{
public:
    explicit SimHelpViewer(SimState& state) : m_state(state) {}
    void HtmlHelp(const std::string& file, const std::string& topic) override;

private:
    SimState& m_state;
};

} // namespace automation::sim
