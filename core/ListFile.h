#pragma once

#include "base/FileResult.h"

#include <cstddef>
#include <string>
#include <vector>

namespace automation {
class FileSystem;
}

namespace tabulon {

// One entry of a list file: a name and its address (sites) or path (applications).
struct ListEntry
{
    std::string name;
    std::string value;
    friend bool operator==(const ListEntry&, const ListEntry&) = default;
};

// The entries of sitelist.txt or applist.txt: CP932 text, two lines per entry (the
// name, then the value), lines ended by CR LF (a lone LF or CR is accepted too).
// At most maxEntries are read. A last name without its second line gets an empty
// value. An error when the file does not exist or cannot be read; an empty file gives
// no entries.
FileResult<std::vector<ListEntry>> readListFile(automation::FileSystem& files,
                                                const std::string& path, std::size_t maxEntries);

// The CP932 bytes of a list file holding these entries.
std::string formatListFile(const std::vector<ListEntry>& entries);

// Replaces the file atomically with these entries; an error when it could not be
// written (the old file is then left as it was).
FileResult<void> writeListFile(automation::FileSystem& files, const std::string& path,
                               const std::vector<ListEntry>& entries);

} // namespace tabulon
