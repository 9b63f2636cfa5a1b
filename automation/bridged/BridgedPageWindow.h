#pragma once

#include "automation/PageWindow.h"

#include <cstdint>
#include <memory>

namespace automation::bridged {

class BridgeHub;
class BridgePeer;

// The window object of a bridged tab's page (frame -1) or of one of its frames.
class BridgedPageWindow : public PageWindow
{
public:
    BridgedPageWindow(std::shared_ptr<BridgeHub> hub, std::shared_ptr<BridgePeer> peer,
                      std::int64_t tabId, int frame);

    void moveto(double x, double y) override;
    void resizeto(double width, double height) override;
    int historyLength() override;
    std::shared_ptr<PageWindow> Parent() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string Location() override;

private:
    std::int64_t windowOfTab(const char* member) const;

    std::shared_ptr<BridgeHub> m_hub;
    std::shared_ptr<BridgePeer> m_peer;
    std::int64_t m_tabId;
    int m_frame;
};

} // namespace automation::bridged
