#pragma once

#include "core/ListFile.h"

#include <string>
#include <vector>

namespace tabulon::crashtest {

// Two large lists that differ in every entry, so a file mixing them is easy to tell
// from either. Each is about 2 MB, which keeps a save busy long enough to be killed in
// the middle of it.
inline std::vector<ListEntry> bigList(char tag)
{
    std::vector<ListEntry> entries;
    for (int i = 0; i < 71; ++i) {
        const std::string id = std::string(1, tag) + std::to_string(i);
        entries.push_back(
            {"サイト" + id + " 髙①～", "http://" + id + ".example/" + std::string(28000, tag)});
    }
    return entries;
}

} // namespace tabulon::crashtest
