#pragma once

#include <optional>
#include <string>
#include <vector>

namespace automation {
class FileSystem;
}

namespace tabulon {

// Whether an Internet-shortcut file has a line beginning with "URL=" (upper case, at
// the very start of the line). Nothing when the file cannot be read.
std::optional<bool> hasUrlLine(automation::FileSystem& files, const std::string& path);

// The Favourites clean-up: deletes every shortcut file (*.url) directly in the folder
// that has no line beginning with "URL=". A file that cannot be read is left alone, and
// so is keepPath, the temporary favourite the frame expansion is still waiting for. An
// empty folder path means the shell reports no Favourites folder: nothing is touched.
void cleanFavorites(automation::FileSystem& files, const std::string& folder,
                    const std::string& keepPath = {});

// Deletes the temporary favourites the frame expansion gave up on, once they appear,
// and forgets each one that is gone. One that cannot be deleted stays in late.
void removeLateFavorites(automation::FileSystem& files, std::vector<std::string>& late);

} // namespace tabulon
