#pragma once

#include "automation/Browser.h"
#include "automation/Types.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace automation::sim {

struct SimFrame
{
    std::string url;
    bool fail = false; // the frame's address cannot be read
};

struct SimImage
{
    std::string href;
    std::optional<std::string> filesize; // missing: reading it fails
};

struct SimLink
{
    std::string innerHTML;
    std::string href;
};

struct SimBody
{
    std::string background;
    std::string fontSize;
};

// A page's document as the simulated browser holds it.
struct SimDocumentData
{
    std::vector<SimFrame> frames;
    int history = 1;
    std::string referrer;
    std::string cookie;
    std::string lastModified = "12/08/2026 10:00:00";
    int scripts = 0;
    int styleSheets = 0;
    int forms = 0;
    int anchors = 0;
    std::vector<SimImage> images;
    std::vector<SimLink> links;
    std::optional<SimBody> body = SimBody{};
    std::set<std::string> fail; // members that raise
    // The base colours last written, in DocumentColor order; nothing when never written.
    std::array<std::optional<std::int32_t>, 5> colors;
};

enum class SimKind
{
    Browser,
    Folder,
    Other
};

// How a browser answers the add-to-favourites keystrokes.
struct SimFavorite
{
    std::int64_t delayMs = 0;
    bool never = false;
};

// One top-level window of the simulated desktop.
struct SimWindow
{
    std::string id;
    SimKind kind = SimKind::Browser;
    Hwnd hwnd = 0;
    std::string url;
    std::string title;
    std::optional<std::string> name; // LocationName when given; else the title or the url
    std::string browser;             // the browser program it belongs to; "" for the own one
    bool busy = false;
    WindowState state = WindowState::Normal;
    WindowState stateBeforeMinimize = WindowState::Normal;
    Rect bounds{0, 0, 800, 600}; // the normal-state rectangle
    std::string caption;         // for folder and other windows; a browser's follows its title
    std::shared_ptr<SimDocumentData> document;
    std::map<BrowserProperty, bool> props;
    std::set<std::string> fail; // members that raise
    SimFavorite favorite;
    bool closed = false;

    bool inShellCollection() const { return kind != SimKind::Other; }
    std::string currentCaption() const;
    std::string locationName() const;
};

// The properties a browser window starts with.
std::map<BrowserProperty, bool> defaultProps();

const std::string& browserCaptionSuffix();

} // namespace automation::sim
