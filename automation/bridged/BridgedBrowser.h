#pragma once

#include "automation/Browser.h"

#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

namespace automation::bridged {

class BridgeHub;
class BridgePeer;
struct BridgeTab;

// One tab of a bridged browser as a browser object. Its reads come from the browser's
// model; its commands are requests to the extension. A tab closed or a browser gone
// raises on every member.
class BridgedBrowser : public Browser
{
public:
    BridgedBrowser(std::shared_ptr<BridgeHub> hub, std::shared_ptr<BridgePeer> peer,
                   std::int64_t tabId);

    std::int64_t tabId() const { return m_tabId; }

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
    const BridgeTab& use(const std::string& member);
    void setState(const std::string& member, const char* state);

    std::shared_ptr<BridgeHub> m_hub;
    std::shared_ptr<BridgePeer> m_peer;
    std::int64_t m_tabId;
};

// The tab's window, moved, sized or put in a state through the extension; the model
// takes the window as the reply reads it back.
void updateWindow(BridgePeer& peer, const std::string& member, std::int64_t windowId,
                  nlohmann::json fields);

} // namespace automation::bridged
