#include "core/ListFile.h"

#include "automation/FileSystem.h"
#include "base/Cp932.h"

#include <optional>
#include <string_view>
#include <utility>

namespace tabulon {

namespace {

// One line of the file: a line break inside a name or value would shift every entry
// after it by a line when the file is read back.
void appendLine(std::string& out, const std::string& utf8)
{
    out += toCp932Line(utf8);
    out += "\r\n";
}

} // namespace

FileResult<std::vector<ListEntry>> readListFile(automation::FileSystem& files,
                                                const std::string& path, std::size_t maxEntries)
{
    std::vector<ListEntry> entries;
    std::optional<std::string> pendingName;
    const FileResult<void> opened = files.readLines(path, [&](std::string_view line) {
        if (entries.size() >= maxEntries)
            return false;
        if (!pendingName) {
            pendingName = fromCp932(line);
            return true;
        }
        entries.push_back({std::move(*pendingName), fromCp932(line)});
        pendingName.reset();
        return entries.size() < maxEntries;
    });
    if (!opened)
        return opened.error();
    if (pendingName && entries.size() < maxEntries)
        entries.push_back({std::move(*pendingName), std::string()});
    return entries;
}

std::string formatListFile(const std::vector<ListEntry>& entries)
{
    std::string out;
    for (const ListEntry& entry : entries) {
        appendLine(out, entry.name);
        appendLine(out, entry.value);
    }
    return out;
}

FileResult<void> writeListFile(automation::FileSystem& files, const std::string& path,
                               const std::vector<ListEntry>& entries)
{
    return files.replaceFile(path, formatListFile(entries));
}

} // namespace tabulon
