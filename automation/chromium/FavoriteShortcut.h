#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace automation::chromium {

// A frame as the shortcut file lists it.
struct ShortcutFrame
{
    std::string name;
    std::string url;
};

// The name typed into the browser's add-to-favourites dialog by the keystrokes
// "%A{ENTER}" [+ "{TAB}"] + name + "{ENTER}", or nothing when the keys are something
// else or the name could not be a file's name.
std::optional<std::string> favoriteNameFromKeys(std::string_view keys);

// The Internet-shortcut text (UTF-8, CR LF) the browser writes for a page: a BASEURL=
// line for the page and one for each frame, then its address.
std::string favoriteShortcutText(const std::string& pageUrl,
                                 const std::vector<ShortcutFrame>& frames);

} // namespace automation::chromium
