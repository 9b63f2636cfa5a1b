#include "winlist/Favorites.h"

#include "automation/FileSystem.h"
#include "base/ProgramFiles.h"

namespace tabulon {

std::optional<bool> hasUrlLine(automation::FileSystem& files, const std::string& path)
{
    bool found = false;
    const FileResult<void> readable = files.readLines(path, [&](std::string_view line) {
        found = line.rfind("URL=", 0) == 0;
        return !found;
    });
    if (!readable)
        return std::nullopt;
    return found;
}

void cleanFavorites(automation::FileSystem& files, const std::string& folder,
                    const std::string& keepPath)
{
    if (folder.empty())
        return;
    for (const std::string& name : files.listFiles(folder, ".url")) {
        const std::string path = joinPath(folder, name);
        if (path == keepPath)
            continue;
        if (hasUrlLine(files, path) == false)
            files.DeleteFile(path);
    }
}

void removeLateFavorites(automation::FileSystem& files, std::vector<std::string>& late)
{
    std::erase_if(late, [&](const std::string& path) {
        return files.isFile(path) && files.DeleteFile(path);
    });
}

} // namespace tabulon
