#pragma once

#include "arrange/JsonFile.h"
#include "arrange/SavedWindow.h"

#include <cstddef>
#include <string>
#include <vector>

namespace tabulon {

// The windows closed through the program, one group per command, newest last, kept
// in closed.json in the program folder so that they survive a restart.
class ClosedWindows
{
public:
    static constexpr std::size_t kGroups = 20;

    ClosedWindows(automation::FileSystem& files, const std::string& folder);

    // Reads the file (see JsonFile for a damaged one).
    void load();
    bool empty() const { return m_groups.empty(); }
    const std::vector<std::vector<SavedWindow>>& groups() const { return m_groups; }
    // Adds a group (an empty one is no group), the oldest going past kGroups.
    void remember(std::vector<SavedWindow> group);
    // The newest group; call only when not empty.
    const std::vector<SavedWindow>& last() const { return m_groups.back(); }
    // Replaces the newest group with what is left of it, dropping it when nothing is.
    void replaceLast(std::vector<SavedWindow> left);

private:
    void save();

    JsonFile m_file;
    std::vector<std::vector<SavedWindow>> m_groups;
};

// Opens the group's windows again, in order, each in its browser at its place and
// state; the windows that could not be opened (no browser could be made) are returned.
std::vector<SavedWindow> reopenWindows(const std::vector<SavedWindow>& group,
                                       automation::ObjectFactory& objects,
                                       automation::WindowManager& windows);

} // namespace tabulon
