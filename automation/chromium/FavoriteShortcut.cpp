#include "automation/chromium/FavoriteShortcut.h"

#include "base/Cp932.h"

#include <algorithm>

namespace automation::chromium {

namespace {

// A value as it goes into one line of the file: encoded, then rid of the bytes that
// would end the line (checked after encoding, where they finally appear).
std::string oneLine(std::string_view utf8)
{
    std::string bytes = tabulon::toCp932(utf8);
    std::erase_if(bytes, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return bytes;
}

} // namespace

std::optional<std::string> favoriteNameFromKeys(std::string_view keys)
{
    constexpr std::string_view open = "%A{ENTER}";
    constexpr std::string_view tab = "{TAB}";
    constexpr std::string_view close = "{ENTER}";
    if (keys.substr(0, open.size()) != open)
        return std::nullopt;
    keys.remove_prefix(open.size());
    if (keys.substr(0, tab.size()) == tab)
        keys.remove_prefix(tab.size());
    if (keys.size() <= close.size() || keys.substr(keys.size() - close.size()) != close)
        return std::nullopt;
    keys.remove_suffix(close.size());
    const std::string name(keys);
    // Plain text only, and a name that stays inside the Favourites folder.
    if (name.find_first_of("{}/\\") != std::string::npos || name == "." || name == ".." ||
        name.find('\0') != std::string::npos || name.size() > 200)
        return std::nullopt;
    for (const unsigned char c : name) {
        if (c < 0x20 || c == 0x7F)
            return std::nullopt;
    }
    return name;
}

std::string favoriteShortcutBytes(const std::string& pageUrl,
                                  const std::vector<ShortcutFrame>& frames)
{
    std::string text = "[DEFAULT]\r\nBASEURL=" + oneLine(pageUrl) + "\r\n";
    int unnamed = 0;
    for (const ShortcutFrame& frame : frames) {
        const std::string section =
            frame.name.empty() ? "frame" + std::to_string(++unnamed) : oneLine(frame.name);
        text += "[DOC_" + section + "]\r\nBASEURL=" + oneLine(frame.url) + "\r\n";
    }
    text += "[InternetShortcut]\r\nURL=" + oneLine(pageUrl) + "\r\n";
    return text;
}

} // namespace automation::chromium
