#include "core/IniFile.h"

#include "automation/FileSystem.h"
#include "base/ProfileText.h"

#include <utility>

namespace tabulon {

IniFile::IniFile(automation::FileSystem& files, std::string path)
    : m_files(files), m_path(std::move(path))
{}

std::string IniFile::read(std::string_view section, std::string_view key) const
{
    const FileResult<std::string> bytes = m_files.readFile(m_path);
    if (!bytes)
        return {};
    return profileRead(*bytes, section, key);
}

FileResult<void> IniFile::write(std::string_view section, std::string_view key,
                                std::string_view value)
{
    FileResult<std::string> bytes = m_files.readFile(m_path);
    if (!bytes) {
        // A file that is there but cannot be read must not be replaced by one key.
        if (!bytes.failedFor(FileError::Reason::NotFound))
            return bytes.error();
        bytes = std::string();
    }
    return m_files.replaceFile(m_path, profileWrite(*bytes, section, key, value));
}

} // namespace tabulon
