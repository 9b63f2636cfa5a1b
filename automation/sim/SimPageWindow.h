#pragma once

#include "automation/PageWindow.h"
#include "automation/sim/SimWindow.h"

#include <memory>
#include <string>

namespace automation::sim {

class SimState;

// The window object of a page (frame -1) or of one of its frames.
class SimPageWindow : public PageWindow
{
public:
    SimPageWindow(SimState& state, std::shared_ptr<SimWindow> window,
                  std::shared_ptr<SimDocumentData> data, int frame);

    void moveto(double x, double y) override;
    void resizeto(double width, double height) override;
    int historyLength() override;
    std::shared_ptr<PageWindow> Parent() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string Location() override;

private:
    SimWindow& use(std::string_view member);

    SimState& m_state;
    std::shared_ptr<SimWindow> m_window;
    std::shared_ptr<SimDocumentData> m_data;
    int m_frame;
};

} // namespace automation::sim
