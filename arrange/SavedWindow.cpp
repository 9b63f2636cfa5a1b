#include "arrange/SavedWindow.h"

#include "automation/Browser.h"
#include "automation/Error.h"
#include "automation/HtmlDocument.h"
#include "automation/PageWindow.h"
#include "automation/Shell.h"
#include "automation/WindowManager.h"
#include "automation/WindowStateName.h"
#include "base/Utf8.h"

#include <nlohmann/json.hpp>

namespace tabulon {

using automation::skipOnFailure;
using automation::WindowState;
using nlohmann::json;

namespace {

// The longest address kept: a browser refuses far shorter ones, and a damaged page
// must not make the files grow without end.
constexpr std::size_t kMaxAddressBytes = std::size_t{64} << 10;

// The browser window's page window, through which it is moved and sized.
std::shared_ptr<automation::PageWindow> pageWindowOf(automation::Browser& browser)
{
    const auto document = browser.Document();
    if (!document)
        throw automation::Error("Document", "the window shows no document");
    auto page = document->parentwindow();
    if (!page)
        throw automation::Error("parentwindow", "the page has no window");
    return page;
}

bool isInt(const json& value)
{
    return value.is_number_integer() && value.get<long long>() >= -1'000'000 &&
           value.get<long long>() <= 1'000'000;
}

} // namespace

std::string storableAddress(std::string_view url)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    const std::string_view kept = url.substr(0, kMaxAddressBytes);
    for (std::size_t i = 0; i < kept.size();) {
        const std::size_t length = utf8SequenceLength(kept, i);
        const auto byte = static_cast<unsigned char>(kept[i]);
        if (length == 0 || byte < 0x20 || byte == 0x7F) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
            ++i;
        } else {
            out.append(kept.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::string storableText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, length));
            i += length;
        }
    }
    return out;
}

std::optional<SavedWindow> readSavedWindow(automation::Browser& browser,
                                           automation::WindowManager& windows)
{
    SavedWindow saved;
    if (!skipOnFailure([&] { saved.url = storableAddress(browser.LocationURL()); }))
        return std::nullopt;
    skipOnFailure([&] { saved.bounds = browser.bounds(); });
    skipOnFailure([&] {
        const automation::Hwnd h = browser.hWnd();
        saved.state = windows.IsIconic(h)   ? WindowState::Minimized
                      : windows.IsZoomed(h) ? WindowState::Maximized
                                            : WindowState::Normal;
    });
    skipOnFailure([&] { saved.browser = storableText(browser.browserName()); });
    return saved;
}

void placeSavedWindow(automation::Browser& browser, const SavedWindow& saved,
                      automation::WindowManager& windows)
{
    automation::Hwnd h = 0;
    if (!skipOnFailure([&] { h = browser.hWnd(); }))
        return;
    // A browser moves and sizes only a window in the normal state.
    skipOnFailure([&] { windows.ShowWindow(h, WindowState::Normal); });
    if (saved.bounds) {
        std::shared_ptr<automation::PageWindow> page;
        skipOnFailure([&] { page = pageWindowOf(browser); });
        if (page) {
            skipOnFailure([&] { page->resizeto(saved.bounds->width, saved.bounds->height); });
            skipOnFailure([&] { page->moveto(saved.bounds->left, saved.bounds->top); });
        }
    }
    if (saved.state != WindowState::Normal)
        skipOnFailure([&] { windows.ShowWindow(h, saved.state); });
}

void openSavedWindow(const SavedWindow& saved, automation::ObjectFactory& objects,
                     automation::WindowManager& windows)
{
    const auto browser = objects.createBrowserIn(saved.browser);
    browser->Navigate(saved.url);
    browser->put(automation::BrowserProperty::Visible, true);
    placeSavedWindow(*browser, saved, windows);
}

json toJson(const SavedWindow& saved)
{
    json value = {{"url", saved.url}};
    if (saved.bounds)
        value["bounds"] = {{"left", saved.bounds->left},
                           {"top", saved.bounds->top},
                           {"width", saved.bounds->width},
                           {"height", saved.bounds->height}};
    value["state"] = automation::windowStateName(saved.state);
    value["browser"] = saved.browser;
    return value;
}

std::optional<SavedWindow> savedWindowFromJson(const json& value)
{
    if (!value.is_object() || !value.contains("url") || !value["url"].is_string())
        return std::nullopt;
    SavedWindow saved;
    saved.url = value["url"].get<std::string>();
    if (value.contains("bounds")) {
        const json& b = value["bounds"];
        if (!b.is_object())
            return std::nullopt;
        for (const char* key : {"left", "top", "width", "height"}) {
            if (!b.contains(key) || !isInt(b[key]))
                return std::nullopt;
        }
        saved.bounds = automation::Rect{b["left"].get<int>(), b["top"].get<int>(),
                                        b["width"].get<int>(), b["height"].get<int>()};
    }
    if (value.contains("state")) {
        if (!value["state"].is_string())
            return std::nullopt;
        const auto state = automation::windowStateFromName(value["state"].get<std::string>());
        if (!state)
            return std::nullopt;
        saved.state = *state;
    }
    if (value.contains("browser")) {
        if (!value["browser"].is_string())
            return std::nullopt;
        saved.browser = value["browser"].get<std::string>();
    }
    return saved;
}

json toJson(const std::vector<SavedWindow>& group)
{
    json value = json::array();
    for (const SavedWindow& saved : group)
        value.push_back(toJson(saved));
    return value;
}

std::optional<std::vector<SavedWindow>> savedGroupFromJson(const json& value)
{
    if (!value.is_array())
        return std::nullopt;
    std::vector<SavedWindow> group;
    for (const json& item : value) {
        auto saved = savedWindowFromJson(item);
        if (!saved)
            return std::nullopt;
        group.push_back(std::move(*saved));
    }
    return group;
}

void ClosingGroup::quit(automation::Browser& browser)
{
    auto saved = readSavedWindow(browser, m_windows);
    browser.Quit();
    if (saved)
        m_closed.push_back(std::move(*saved));
}

} // namespace tabulon
