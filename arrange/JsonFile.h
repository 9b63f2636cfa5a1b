#pragma once

#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace automation {
class FileSystem;
}

namespace tabulon {

// One of the program's own JSON files, read once and then replaced whole. A damaged
// file is set aside as <name>.bad (or <name>.2.bad ...), with one line on standard
// error, so nothing the user had is written over; one that cannot be read at all is
// left as it is and never written over during the run.
class JsonFile
{
public:
    JsonFile(automation::FileSystem& files, std::string path);

    // The file's value when it is there, is JSON and valid says it is whole; nothing
    // otherwise (missing, unreadable or damaged).
    std::optional<nlohmann::json> load(const std::function<bool(const nlohmann::json&)>& valid);
    // Replaces the file atomically; false (said on standard error) when it was not.
    bool save(const nlohmann::json& value);

    const std::string& path() const { return m_path; }

private:
    void setAside(const std::string& bytes, const std::string& why);

    automation::FileSystem& m_files;
    std::string m_path;
    bool m_keepOff = false;
};

} // namespace tabulon
