#include "arrange/ClosedWindows.h"

#include "automation/Error.h"
#include "base/ProgramFiles.h"

#include <nlohmann/json.hpp>

namespace tabulon {

using nlohmann::json;

namespace {

bool validFile(const json& value)
{
    if (!value.is_object() || !value.contains("groups") || !value["groups"].is_array())
        return false;
    for (const json& group : value["groups"]) {
        if (!savedGroupFromJson(group))
            return false;
    }
    return true;
}

} // namespace

ClosedWindows::ClosedWindows(automation::FileSystem& files, const std::string& folder)
    : m_file(files, joinPath(folder, "closed.json"))
{}

void ClosedWindows::load()
{
    m_groups.clear();
    const auto value = m_file.load(validFile);
    if (!value)
        return;
    for (const json& group : (*value)["groups"]) {
        auto windows = *savedGroupFromJson(group);
        if (!windows.empty())
            m_groups.push_back(std::move(windows));
    }
    // A file written by hand may hold more than the program keeps.
    if (m_groups.size() > kGroups)
        m_groups.erase(m_groups.begin(), m_groups.end() - static_cast<std::ptrdiff_t>(kGroups));
}

void ClosedWindows::remember(std::vector<SavedWindow> group)
{
    if (group.empty())
        return;
    m_groups.push_back(std::move(group));
    if (m_groups.size() > kGroups)
        m_groups.erase(m_groups.begin());
    save();
}

void ClosedWindows::replaceLast(std::vector<SavedWindow> left)
{
    if (m_groups.empty())
        return;
    if (left.empty())
        m_groups.pop_back();
    else
        m_groups.back() = std::move(left);
    save();
}

std::vector<SavedWindow> reopenWindows(const std::vector<SavedWindow>& group,
                                       automation::ObjectFactory& objects,
                                       automation::WindowManager& windows)
{
    std::vector<SavedWindow> left;
    for (const SavedWindow& saved : group) {
        const auto open = [&] { openSavedWindow(saved, objects, windows); };
        // Once more when it fails: the browser the last window's close ended is started
        // again by the first attempt, which it may refuse while it is still going away.
        if (!automation::skipOnFailure(open) && !automation::skipOnFailure(open))
            left.push_back(saved);
    }
    return left;
}

void ClosedWindows::save()
{
    json groups = json::array();
    for (const auto& group : m_groups)
        groups.push_back(toJson(group));
    m_file.save({{"groups", std::move(groups)}});
}

} // namespace tabulon
