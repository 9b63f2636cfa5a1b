#pragma once

#include "automation/Browser.h"

#include <cstdint>
#include <memory>
#include <string>

namespace automation::chromium {

class ChromiumClient;

// One tab of the browser as a browser object. Objects of a browser that has gone
// away raise on every member, even when a new browser runs.
class ChromiumBrowser : public Browser
{
public:
    ChromiumBrowser(std::shared_ptr<ChromiumClient> client, std::string targetId);

    const std::string& targetId() const { return m_targetId; }

    bool busy() override;
    std::string LocationURL() override;
    std::string LocationName() override;
    // The browser the program starts (or is pointed at) speaks the DevTools protocol of
    // Chromium, whose name its version string does not tell apart from Chrome's.
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

    // The address the browser is sent to: one without a scheme is taken for a web
    // address, an absolute path for a file, as the address bar would.
    static std::string navigableAddress(const std::string& url);

private:
    ChromiumClient& use(const std::string& member);

    std::shared_ptr<ChromiumClient> m_client;
    std::string m_targetId;
    std::uint64_t m_generation;
};

// A minimised browser window reports a small size, as the program expects of one
// (at most 25 high).
inline constexpr long kMinimizedHeight = 24;
inline constexpr long kMinimizedWidth = 160;

} // namespace automation::chromium
