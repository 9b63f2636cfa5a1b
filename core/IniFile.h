#pragma once

#include "base/FileResult.h"

#include <string>
#include <string_view>

namespace automation {
class FileSystem;
}

namespace tabulon {

// The settings file itself, read and written key by key through the file system.
// A file that is there but cannot be read (too large, not readable, failing) reads as
// one without keys, so the program runs on its defaults, and is never written: the one
// key would replace everything else the user kept in it. Something other than an
// ordinary file in its place (a FIFO, a device, a folder) is neither read nor replaced.
class IniFile
{
public:
    IniFile(automation::FileSystem& files, std::string path);

    // "" when the file, the section or the key is missing, or the file cannot be read.
    std::string read(std::string_view section, std::string_view key) const;
    // Replaces the file atomically; an error when it could not be written or read.
    FileResult<void> write(std::string_view section, std::string_view key, std::string_view value);

    const std::string& path() const { return m_path; }

private:
    automation::FileSystem& m_files;
    std::string m_path;
};

} // namespace tabulon
