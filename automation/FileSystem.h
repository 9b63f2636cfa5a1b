#pragma once

#include "base/FileResult.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace automation {

// The files the program reads and writes: lists, settings, favourites, reports.
// Paths and names are UTF-8 text.
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    // A file larger than this is not read: it counts as one that cannot be read, which
    // the program never writes over.
    static constexpr std::size_t kMaxFileBytes = std::size_t{16} << 20;
    // A line longer than this is cut to this many bytes; the rest of it is skipped.
    static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

    // Whether path names an ordinary file.
    virtual bool isFile(const std::string& path) = 0;
    // Names of the ordinary, non-hidden files directly in folder whose names end with
    // suffix, compared without regard to case; sorted by name.
    virtual std::vector<std::string> listFiles(const std::string& folder,
                                               const std::string& suffix) = 0;
    // The whole file, or why it cannot be read: missing, not an ordinary file (a folder,
    // a FIFO, a device: never waited on), larger than kMaxFileBytes, or failing.
    virtual tabulon::FileResult<std::string> readFile(const std::string& path) = 0;
    // Reads the file a line at a time (the line without its CR LF, LF or CR, cut to
    // kMaxLineBytes) until onLine returns false or the file ends; an error when the file
    // cannot be read, for the reasons readFile gives (lines may have been handed over
    // before a file that grows past the limit is found out).
    virtual tabulon::FileResult<void>
    readLines(const std::string& path, const std::function<bool(std::string_view)>& onLine) = 0;
    // Replaces the file whole, atomically: afterwards it holds either its old bytes or
    // the new ones, never a mix. An error when it could not be written, and when
    // something other than an ordinary file is at path, which is left alone.
    virtual tabulon::FileResult<void> replaceFile(const std::string& path,
                                                  std::string_view bytes) = 0;
    // Deletes the file; false when it could not be deleted.
    virtual bool DeleteFile(const std::string& path) = 0;
};

} // namespace automation
