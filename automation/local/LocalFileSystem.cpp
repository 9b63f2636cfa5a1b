#include "automation/local/LocalFileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace automation {

using tabulon::FileError;
using tabulon::FileResult;
using Reason = tabulon::FileError::Reason;

namespace {

constexpr std::size_t kReadChunk = 65536;

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return m_fd; }
    // Closes now, reporting the error a deferred write can surface only here.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

ssize_t readSome(int fd, char* buffer, std::size_t size)
{
    while (true) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool writeAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool endsWithIgnoringCase(const std::string& name, const std::string& suffix)
{
    if (name.size() < suffix.size())
        return false;
    return std::equal(suffix.rbegin(), suffix.rend(), name.rbegin(),
                      [](char a, char b) { return asciiLower(a) == asciiLower(b); });
}

// The process umask, read without changing it: umask() can only be read by setting
// it, which would race with other threads creating files.
mode_t currentUmask()
{
    if (FILE* f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, f)) {
            unsigned int mask = 0;
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(f);
                return static_cast<mode_t>(mask);
            }
        }
        std::fclose(f);
    }
    return 022;
}

// The file a write to path lands in: a symbolic link is written through, not replaced.
std::string writeTarget(const std::string& path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::error_code ec;
    const std::filesystem::path resolved = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : resolved.string();
}

void syncFolder(const std::string& folder)
{
    FileDescriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

std::string megabytes(std::size_t bytes)
{
    return std::to_string(bytes >> 20) + " MiB";
}

FileError systemError(int error)
{
    return {error == ENOENT || error == ENOTDIR ? Reason::NotFound : Reason::Failed,
            std::strerror(error)};
}

FileError tooLarge()
{
    return {Reason::TooLarge, "larger than " + megabytes(FileSystem::kMaxFileBytes)};
}

} // namespace

LocalFileSystem::LocalFileSystem(std::ostream& log) : m_log(log) {}

LocalFileSystem::LocalFileSystem() : LocalFileSystem(std::cerr) {}

void LocalFileSystem::report(const std::string& path, const std::string& what)
{
    if (m_reported.insert(path).second)
        m_log << "tabulon: " << path << ": " << what << '\n' << std::flush;
}

FileError LocalFileSystem::unread(const std::string& path, FileError error)
{
    if (error.reason == Reason::TooLarge)
        report(path, "left unread and untouched: " + error.detail);
    else if (error.reason != Reason::NotFound)
        report(path, "left unread: " + error.detail);
    return error;
}

void LocalFileSystem::readWell(const std::string& path)
{
    m_reported.erase(path);
}

// Opens an ordinary file for reading. Opening does not wait for a FIFO's writer or a
// device, and a terminal never becomes the program's own.
FileResult<int> LocalFileSystem::openForReading(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return unread(path, systemError(errno));
    struct stat st;
    std::optional<FileError> refusal;
    if (::fstat(fd, &st) != 0)
        refusal = FileError{Reason::Failed, std::strerror(errno)};
    else if (!S_ISREG(st.st_mode))
        refusal = FileError{Reason::NotOrdinaryFile, "not an ordinary file"};
    else if (static_cast<std::uintmax_t>(st.st_size) > kMaxFileBytes)
        refusal = tooLarge();
    if (refusal) {
        ::close(fd);
        return unread(path, std::move(*refusal));
    }
    return fd;
}

bool LocalFileSystem::isFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

std::vector<std::string> LocalFileSystem::listFiles(const std::string& folder,
                                                    const std::string& suffix)
{
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec)
        return names;
    const std::filesystem::directory_iterator end;
    while (it != end) {
        std::string name = it->path().filename().string();
        std::error_code typeError;
        if (!name.empty() && name.front() != '.' && endsWithIgnoringCase(name, suffix) &&
            it->is_regular_file(typeError))
            names.push_back(std::move(name));
        it.increment(ec);
        if (ec)
            break;
    }
    std::sort(names.begin(), names.end());
    return names;
}

FileResult<std::string> LocalFileSystem::readFile(const std::string& path)
{
    FileResult<int> opened = openForReading(path);
    if (!opened)
        return opened.error();
    FileDescriptor fd(*opened);
    std::string bytes;
    struct stat st;
    if (::fstat(fd.get(), &st) == 0 && st.st_size > 0)
        bytes.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buffer(kReadChunk);
    while (true) {
        const ssize_t n = readSome(fd.get(), buffer.data(), buffer.size());
        if (n < 0)
            return unread(path, systemError(errno));
        if (n == 0)
            break;
        // A file can grow while it is read, or claim no size at all.
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxFileBytes)
            return unread(path, tooLarge());
        bytes.append(buffer.data(), static_cast<std::size_t>(n));
    }
    readWell(path);
    return bytes;
}

FileResult<void> LocalFileSystem::readLines(const std::string& path,
                                            const std::function<bool(std::string_view)>& onLine)
{
    FileResult<int> opened = openForReading(path);
    if (!opened)
        return opened.error();
    FileDescriptor fd(*opened);
    std::vector<char> buffer(kReadChunk);
    // The start of a line that runs past the end of the buffer.
    std::string partial;
    // A CR ended the last buffer; an LF opening the next one belongs to it.
    bool afterCr = false;
    std::size_t total = 0;
    bool cut = false;
    // Adds to the line being gathered, never past the longest line kept.
    const auto gather = [&](const char* data, std::size_t size) {
        const std::size_t room = kMaxLineBytes - partial.size();
        if (size > room) {
            size = room;
            cut = true;
        }
        partial.append(data, size);
    };
    const auto finish = [&] {
        if (cut)
            report(path, "lines longer than " + megabytes(kMaxLineBytes) + " were cut");
        else
            readWell(path);
        return FileResult<void>();
    };
    while (true) {
        const ssize_t got = readSome(fd.get(), buffer.data(), buffer.size());
        if (got < 0)
            return unread(path, systemError(errno));
        if (got == 0)
            break;
        total += static_cast<std::size_t>(got);
        if (total > kMaxFileBytes)
            return unread(path, tooLarge());
        const char* data = buffer.data();
        const auto size = static_cast<std::size_t>(got);
        std::size_t i = 0;
        if (afterCr && data[0] == '\n')
            i = 1;
        afterCr = false;
        while (i < size) {
            std::size_t j = i;
            while (j < size && data[j] != '\r' && data[j] != '\n')
                ++j;
            if (j == size) {
                gather(data + i, size - i);
                break;
            }
            bool more;
            if (partial.empty() && j - i <= kMaxLineBytes) {
                more = onLine(std::string_view(data + i, j - i));
            } else {
                gather(data + i, j - i);
                more = onLine(partial);
                partial.clear();
            }
            if (!more)
                return finish();
            if (data[j] == '\r') {
                if (j + 1 < size && data[j + 1] == '\n')
                    ++j;
                else if (j + 1 == size)
                    afterCr = true;
            }
            i = j + 1;
        }
    }
    if (!partial.empty())
        onLine(partial);
    return finish();
}

FileResult<void> LocalFileSystem::replaceFile(const std::string& path, std::string_view bytes)
{
    const std::string target = writeTarget(path);
    const std::filesystem::path targetPath(target);
    std::string folder = targetPath.parent_path().string();
    if (folder.empty())
        folder = ".";
    const std::string name = targetPath.filename().string();
    if (name.empty())
        return FileError{Reason::NotOrdinaryFile, "not a file name"};

    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    // A folder, a FIFO or a device in the file's place is not the program's to replace.
    if (existed && !S_ISREG(old.st_mode)) {
        report(path, "left unwritten: not an ordinary file");
        return FileError{Reason::NotOrdinaryFile, "not an ordinary file"};
    }

    // Hidden, next to the file so the rename stays on one file system; the name is
    // shortened so the template always fits in a file name.
    std::string pattern = folder + "/." + name.substr(0, 200) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return FileError{Reason::Failed, std::strerror(errno)};
    const std::string temporary = pattern;

    // The first call to fail leaves its reason in errno; the later ones are skipped.
    bool ok = writeAll(fd.get(), bytes) && ::fsync(fd.get()) == 0;
    if (ok && existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
        if (::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Only root may give a file away; the new file then stays ours.
        }
    }
    if (ok) {
        const mode_t mode = existed ? (old.st_mode & 07777) : (0644 & ~currentUmask());
        ok = ::fchmod(fd.get(), mode) == 0;
    }
    int error = ok ? 0 : errno;
    if (!fd.close() && ok) {
        ok = false;
        error = errno;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        ok = false;
        error = errno;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return FileError{Reason::Failed, std::strerror(error)};
    }
    syncFolder(folder);
    return {};
}

bool LocalFileSystem::DeleteFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

} // namespace automation
