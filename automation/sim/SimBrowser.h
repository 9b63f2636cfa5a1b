#pragma once

#include "automation/Browser.h"
#include "automation/sim/SimWindow.h"

#include <memory>
#include <string>

namespace automation::sim {

class SimState;

// A browser object of the simulated desktop: one window of its collection, or one
// the program created. Once the window is closed every member raises.
class SimBrowser : public Browser
{
public:
    SimBrowser(SimState& state, std::shared_ptr<SimWindow> window);

    const std::string& id() const { return m_window->id; }

    bool busy() override;
    std::string LocationURL() override;
    std::string LocationName() override;
    std::string browserName() override;
    Hwnd hWnd() override;
    Rect bounds() override;
    long Height() override;
    long Width() override;
    std::shared_ptr<HtmlDocument> Document() override;
    void put(BrowserProperty property, bool value) override;
    bool get(BrowserProperty property) override;
    void Navigate(const std::string& url) override;
    void Quit() override;

private:
    SimWindow& use(std::string_view member);
    SimWindow& read(std::string_view member);

    SimState& m_state;
    std::shared_ptr<SimWindow> m_window;
};

} // namespace automation::sim
