#pragma once

#include <string>

namespace automation {

// $XDG_DATA_HOME/tabulon, or ~/.local/share/tabulon: where the program keeps what is
// neither a setting nor a document (its browser's profile, the Favourites).
std::string tabulonDataFolder();
// The Favourites folder on the real desktop: the scripting shell's "Favorites", which
// the browser's add-to-favourites answer writes to and the list's clean-up reads.
std::string defaultFavoritesFolder();

} // namespace automation
