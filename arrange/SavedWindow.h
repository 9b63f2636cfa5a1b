#pragma once

#include "automation/Types.h"

#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace automation {
class Browser;
class ObjectFactory;
class WindowManager;
} // namespace automation

namespace tabulon {

// A web window as the program keeps it to open or place again later: its address,
// where it was, its state and the browser program it was in ("" the program's own).
struct SavedWindow
{
    std::string url;
    std::optional<automation::Rect> bounds; // nothing when the browser could not say
    automation::WindowState state = automation::WindowState::Normal;
    std::string browser;
    friend bool operator==(const SavedWindow&, const SavedWindow&) = default;
};

// The address as the program stores it: bytes that are not UTF-8 become %XX escapes,
// which a browser takes for the same address, so the JSON files always hold text.
std::string storableAddress(std::string_view url);

// Text made storable: bytes that are not UTF-8 become U+FFFD.
std::string storableText(std::string_view text);

// What the window is now; nothing when its address cannot be read (closed already).
// Its place, state and browser are left at their defaults when they cannot be read.
std::optional<SavedWindow> readSavedWindow(automation::Browser& browser,
                                           automation::WindowManager& windows);

// Puts an open window at the saved place, size and state. Each step that fails is
// skipped: a window that cannot be moved still takes its state.
void placeSavedWindow(automation::Browser& browser, const SavedWindow& saved,
                      automation::WindowManager& windows);

// Opens the saved address in a new window of its browser (when that is there, else
// where new windows open) and places it. A browser that cannot be made or sent to the
// address raises automation::Error; placing it skips what fails.
void openSavedWindow(const SavedWindow& saved, automation::ObjectFactory& objects,
                     automation::WindowManager& windows);

// The stored form; fromJson gives nothing for a value that is not one.
nlohmann::json toJson(const SavedWindow& saved);
std::optional<SavedWindow> savedWindowFromJson(const nlohmann::json& value);
nlohmann::json toJson(const std::vector<SavedWindow>& group);
std::optional<std::vector<SavedWindow>> savedGroupFromJson(const nlohmann::json& value);

// Remembers the windows a command closes, read before each is asked to close and
// kept once it has closed.
class ClosingGroup
{
public:
    explicit ClosingGroup(automation::WindowManager& windows) : m_windows(windows) {}

    // Closes the window as Browser::Quit does, raising what it raises.
    void quit(automation::Browser& browser);
    std::vector<SavedWindow> take() { return std::move(m_closed); }

private:
    automation::WindowManager& m_windows;
    std::vector<SavedWindow> m_closed;
};

} // namespace tabulon
