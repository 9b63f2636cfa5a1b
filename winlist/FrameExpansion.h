#pragma once

#include "automation/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon {

class Module1;
class WebWindowList;

// How long the favourite route waits for the browser to write its shortcut file,
// measured on the program's clock; events keep running meanwhile.
inline constexpr std::int64_t kFavoriteWaitMs = 5000;

// A collected address enters List1 only with at least this many characters.
inline constexpr std::size_t kMinFrameAddress = 11;

// One comparable form of an address: a file address ("file" in lower case at its start)
// loses its scheme and leading slashes, is lower-cased, gets blanks for "%20" and
// forward slashes; any address holding "+" becomes empty. Others come back unchanged.
std::string NormalizeUrl(std::string_view address);

// What the favourite route shares with the rest of the program: the Favourites
// clean-up spares pending while the route waits for it, and deletes the files in late
// (temporary favourites given up on) once they appear.
struct FavoriteWait
{
    std::string& pending;
    std::vector<std::string>& late;
    // True once the program has ended: a wait in progress stops at once.
    std::function<bool()> ended;
    std::int64_t limitMs = kFavoriteWaitMs;
};

// Whether the expansion opens an address a page gave it: only one a user could open by
// typing it, with the scheme http:, https:, file: or ftp:, or with none (a drive letter
// is none). javascript:, data:, chrome: and every other scheme are left alone, as the
// browser would run or show them with the program's authority.
bool isOpenableAddress(std::string_view address);

// Collects the frame addresses of the page in window p from its frame collection.
// A frame whose address cannot be read is passed over.
void GetFramesByDOM(automation::PageWindow& p, std::vector<std::string>& List1);

// Collects the frame addresses of the page in window p from the shortcut file the
// browser writes when told to add the page to the Favourites under a free name D<n>.
// Raises automation::Error when a step fails; the file is never left behind.
void GetFramesByFavorite(automation::PageWindow& p, automation::Platform& platform,
                         FavoriteWait& wait, std::vector<std::string>& List1);

// Everything the frame expansion works on.
struct FrameExpansion
{
    automation::Platform& platform;
    Module1& module;
    WebWindowList& list;
    std::vector<std::string>& List1;
    FavoriteWait& wait;
    // The main window's caption, activated at the end.
    std::string mainCaption;
};

// Opens every frame of the selected row's page in a window of its own, leaving out
// repeats and addresses a row of the list already shows. Steps that fail are skipped.
void ExpandFrames(FrameExpansion& expansion);

} // namespace tabulon
