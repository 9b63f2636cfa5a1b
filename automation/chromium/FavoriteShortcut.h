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

// The Internet-shortcut file the browser writes for a page, as the bytes on disk (CP932,
// CR LF): a BASEURL= line for the page and one for each frame, then its address.
// Each value is encoded first and then loses every CR, LF and NUL byte, so that
// neither a line break in a page's value nor a character the codec writes back as
// such a byte (U+10FF0D is 0x0D) can start a line of its own.
std::string favoriteShortcutBytes(const std::string& pageUrl,
                                  const std::vector<ShortcutFrame>& frames);

} // namespace automation::chromium
