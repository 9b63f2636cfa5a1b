#pragma once

#include "automation/FileSystem.h"

#include <iosfwd>
#include <set>

namespace automation {

// The machine's own file system. Listings are sorted by name; hidden files are those
// whose names begin with a dot.
class LocalFileSystem : public FileSystem
{
public:
    // A file left unread or unwritten for any reason but being missing is said on log in
    // one line, once for each path until that path reads again.
    explicit LocalFileSystem(std::ostream& log);
    LocalFileSystem();

    bool isFile(const std::string& path) override;
    std::vector<std::string> listFiles(const std::string& folder,
                                       const std::string& suffix) override;
    tabulon::FileResult<std::string> readFile(const std::string& path) override;
    tabulon::FileResult<void>
    readLines(const std::string& path,
              const std::function<bool(std::string_view)>& onLine) override;
    // Writes a temporary file in the same folder, flushes it to disk, then renames it
    // over the old one, keeping the old file's permissions.
    tabulon::FileResult<void> replaceFile(const std::string& path, std::string_view bytes) override;
    bool DeleteFile(const std::string& path) override;

private:
    tabulon::FileResult<int> openForReading(const std::string& path);
    void report(const std::string& path, const std::string& what);
    // Says why path was left unread (a missing file goes unsaid) and hands the error on.
    tabulon::FileError unread(const std::string& path, tabulon::FileError error);
    void readWell(const std::string& path);

    std::ostream& m_log;
    std::set<std::string> m_reported;
};

} // namespace automation
