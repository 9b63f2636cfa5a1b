#pragma once

#include "automation/PageWindow.h"

#include <cstdint>
#include <memory>
#include <string>

namespace automation::chromium {

class ChromiumClient;

// The window object of a tab's page (frame -1) or of one of its frames.
class ChromiumPageWindow : public PageWindow
{
public:
    ChromiumPageWindow(std::shared_ptr<ChromiumClient> client, std::string targetId,
                       std::uint64_t generation, int frame);

    void moveto(double x, double y) override;
    void resizeto(double width, double height) override;
    int historyLength() override;
    std::shared_ptr<PageWindow> Parent() override;
    std::shared_ptr<HtmlDocument> Document() override;
    std::string Location() override;

private:
    ChromiumClient& use(const std::string& member);

    std::shared_ptr<ChromiumClient> m_client;
    std::string m_targetId;
    std::uint64_t m_generation;
    int m_frame;
};

// A pixel count from a double, rounded to the nearest; raises for one that no window
// can have.
int toPixels(double value, const char* member);

} // namespace automation::chromium
