#include "automation/local/LocalFileSystem.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace automation {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;
using Reason = tabulon::FileError::Reason;

class LocalFileSystemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("tabulon-fs-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::string put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(path(name), std::ios::binary);
        out << bytes;
        return path(name);
    }

    std::string contents(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    std::vector<std::string> lines(const std::string& bytes)
    {
        std::vector<std::string> got;
        EXPECT_TRUE(m_fs.readLines(put("lines.txt", bytes), [&](std::string_view line) {
            got.emplace_back(line);
            return true;
        }));
        return got;
    }

    // Every entry of the folder, hidden ones included.
    std::vector<std::string> everything() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(m_dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    static mode_t modeOf(const std::string& p)
    {
        struct stat st
        {
        };
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    }

    fs::path m_dir;
    LocalFileSystem m_fs;
};

using Lines = std::vector<std::string>;

TEST_F(LocalFileSystemTest, ReadLinesSplitsOnEveryLineEnd)
{
    EXPECT_EQ(lines("a\r\nb\r\n"), (Lines{"a", "b"}));
    EXPECT_EQ(lines("a\nb\n"), (Lines{"a", "b"}));
    EXPECT_EQ(lines("a\rb\r"), (Lines{"a", "b"}));
    EXPECT_EQ(lines("a\r\rb\n\nc\r\n\r\n"), (Lines{"a", "", "b", "", "c", ""}));
    EXPECT_EQ(lines("a\n\r"), (Lines{"a", ""}));
    EXPECT_EQ(lines("last line"), (Lines{"last line"}));
    EXPECT_EQ(lines("\r\n"), (Lines{""}));
    EXPECT_EQ(lines(""), Lines{});
    EXPECT_EQ(lines("x\0y\r\n\x80\xFF\n"s), (Lines{"x\0y"s, "\x80\xFF"}));
}

TEST_F(LocalFileSystemTest, ReadLinesAcrossItsBuffer)
{
    // CR LF split between two reads, then a line longer than any buffer.
    for (std::size_t at : {65535u, 65536u, 131071u}) {
        const std::string first(at, 'a');
        const std::string longLine(1 << 20, 'b');
        std::string bytes = first;
        bytes.append("\r\n").append(longLine).append("\r\nc");
        EXPECT_EQ(lines(bytes), (Lines{first, longLine, "c"})) << at;
        EXPECT_EQ(lines(first + "\r" + "d\n"), (Lines{first, "d"})) << at;
        EXPECT_EQ(lines(first + "\r"), (Lines{first})) << at;
    }
}

TEST_F(LocalFileSystemTest, ReadLinesStopsWhenAsked)
{
    put("three.txt", "1\r\n2\r\n3\r\n");
    std::vector<std::string> got;
    EXPECT_TRUE(m_fs.readLines(path("three.txt"), [&](std::string_view line) {
        got.emplace_back(line);
        return got.size() < 2;
    }));
    EXPECT_EQ(got, (Lines{"1", "2"}));
}

TEST_F(LocalFileSystemTest, ReadLinesFailsForWhatItCannotOpen)
{
    int calls = 0;
    auto count = [&](std::string_view) { return ++calls, true; };
    EXPECT_TRUE(m_fs.readLines(path("missing.txt"), count).failedFor(Reason::NotFound));
    EXPECT_TRUE(m_fs.readLines(path("missing.txt/x"), count).failedFor(Reason::NotFound));
    EXPECT_TRUE(m_fs.readLines(m_dir.string(), count).failedFor(Reason::NotOrdinaryFile));
    EXPECT_EQ(calls, 0);
}

TEST_F(LocalFileSystemTest, ReadFile)
{
    const std::string bytes = "a\0\r\n\xFF"s + std::string(200000, 'z');
    put("f.bin", bytes);
    EXPECT_EQ(m_fs.readFile(path("f.bin")), bytes);
    put("empty", "");
    EXPECT_EQ(m_fs.readFile(path("empty")), "");
    EXPECT_TRUE(m_fs.readFile(path("missing")).failedFor(Reason::NotFound));
    EXPECT_TRUE(m_fs.readFile(m_dir.string()).failedFor(Reason::NotOrdinaryFile));
}

TEST_F(LocalFileSystemTest, IsFileAndDeleteFile)
{
    put("f", "x");
    fs::create_directory(m_dir / "d");
    EXPECT_TRUE(m_fs.isFile(path("f")));
    EXPECT_FALSE(m_fs.isFile(path("d")));
    EXPECT_FALSE(m_fs.isFile(path("missing")));
    EXPECT_FALSE(m_fs.DeleteFile(path("d")));
    EXPECT_TRUE(fs::is_directory(m_dir / "d"));
    EXPECT_TRUE(m_fs.DeleteFile(path("f")));
    EXPECT_FALSE(fs::exists(m_dir / "f"));
    EXPECT_FALSE(m_fs.DeleteFile(path("f")));
}

TEST_F(LocalFileSystemTest, ReplaceFileWritesAndLeavesNoTemporary)
{
    const std::string bytes = "new\0\xFF"s;
    ASSERT_TRUE(m_fs.replaceFile(path("f.txt"), bytes));
    EXPECT_EQ(contents("f.txt"), bytes);
    ASSERT_TRUE(m_fs.replaceFile(path("f.txt"), "second"));
    EXPECT_EQ(contents("f.txt"), "second");
    ASSERT_TRUE(m_fs.replaceFile(path("f.txt"), ""));
    EXPECT_EQ(contents("f.txt"), "");
    EXPECT_EQ(everything(), (Lines{"f.txt"}));
}

TEST_F(LocalFileSystemTest, ReplaceFileKeepsPermissions)
{
    put("private.ini", "old");
    fs::permissions(path("private.ini"),
                    fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(m_fs.replaceFile(path("private.ini"), "new"));
    EXPECT_EQ(modeOf(path("private.ini")), 0640u);

    const mode_t saved = ::umask(027);
    const auto created = m_fs.replaceFile(path("fresh.ini"), "x");
    ::umask(saved);
    ASSERT_TRUE(created);
    EXPECT_EQ(modeOf(path("fresh.ini")), 0640u);
}

TEST_F(LocalFileSystemTest, ReplaceFileWritesThroughASymbolicLink)
{
    fs::create_directory(m_dir / "real");
    put("real/target.ini", "old");
    fs::create_symlink(m_dir / "real" / "target.ini", m_dir / "link.ini");
    ASSERT_TRUE(m_fs.replaceFile(path("link.ini"), "new"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "link.ini"));
    EXPECT_EQ(contents("real/target.ini"), "new");
}

TEST_F(LocalFileSystemTest, ReplaceFileFailsCleanly)
{
    // A missing folder is a write that failed, not a file that is not there.
    EXPECT_TRUE(m_fs.replaceFile(path("missing/f.txt"), "x").failedFor(Reason::Failed));
    EXPECT_FALSE(fs::exists(m_dir / "missing"));

    fs::create_directory(m_dir / "d");
    EXPECT_TRUE(m_fs.replaceFile(path("d"), "x").failedFor(Reason::NotOrdinaryFile));
    EXPECT_TRUE(fs::is_directory(m_dir / "d"));
    EXPECT_EQ(everything(), (Lines{"d"}));
}

TEST_F(LocalFileSystemTest, ReplaceFileInAReadOnlyFolderLeavesTheOldFile)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    put("f.txt", "old");
    fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
    const auto replaced = m_fs.replaceFile(path("f.txt"), "new");
    fs::permissions(m_dir, fs::perms::owner_all);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().detail, std::strerror(EACCES));
    EXPECT_EQ(contents("f.txt"), "old");
    EXPECT_EQ(everything(), (Lines{"f.txt"}));
}

TEST_F(LocalFileSystemTest, ReplaceFileThatCannotBeWrittenWholeLeavesTheOldFile)
{
    // A file size limit makes write() fail part way, as a full disk does.
    put("f.txt", "old");
    struct rlimit saved
    {
    };
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*savedHandler)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto replaced = m_fs.replaceFile(path("f.txt"), std::string(1 << 20, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedHandler);
    ASSERT_FALSE(replaced);
    EXPECT_EQ(replaced.error().detail, std::strerror(EFBIG));
    EXPECT_EQ(contents("f.txt"), "old");
    EXPECT_EQ(everything(), (Lines{"f.txt"}));
}

// A file of the given size that takes no room on disk.
void makeSparse(const std::string& path, std::size_t size)
{
    std::ofstream(path, std::ios::binary) << "[Wposition]\r\nx1=105\r\n";
    fs::resize_file(path, size);
}

TEST_F(LocalFileSystemTest, AFileOverTheLimitIsLeftUnreadAndSaidOnce)
{
    std::ostringstream log;
    LocalFileSystem files(log);
    const std::size_t limit = FileSystem::kMaxFileBytes;
    makeSparse(path("big.ini"), limit + 1);
    int lines = 0;
    EXPECT_TRUE(files.readFile(path("big.ini")).failedFor(Reason::TooLarge));
    EXPECT_TRUE(files.readLines(path("big.ini"), [&](std::string_view) { return ++lines, true; })
                    .failedFor(Reason::TooLarge));
    EXPECT_EQ(lines, 0);
    EXPECT_EQ(log.str(),
              "tabulon: " + path("big.ini") + ": left unread and untouched: larger than 16 MiB\n");
    EXPECT_EQ(fs::file_size(path("big.ini")), limit + 1);

    // At the limit it reads; once it has read, a file grown too large is said again.
    fs::resize_file(path("big.ini"), limit);
    const auto bytes = files.readFile(path("big.ini"));
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(bytes->size(), limit);
    fs::resize_file(path("big.ini"), limit + 1);
    EXPECT_TRUE(files.readFile(path("big.ini")).failedFor(Reason::TooLarge));
    const std::string said = log.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;
}

TEST_F(LocalFileSystemTest, AFifoOrADeviceIsNeitherWaitedOnNorReplaced)
{
    std::ostringstream log;
    LocalFileSystem files(log);
    // Opened for reading the ordinary way, a FIFO with no writer would block for ever.
    ASSERT_EQ(::mkfifo(path("fifo.ini").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", m_dir / "null.ini");
    fs::create_symlink("/dev/zero", m_dir / "zero.txt");
    for (const char* name : {"fifo.ini", "null.ini", "zero.txt"}) {
        EXPECT_TRUE(files.readFile(path(name)).failedFor(Reason::NotOrdinaryFile)) << name;
        EXPECT_TRUE(files.readLines(path(name), [](std::string_view) { return true; })
                        .failedFor(Reason::NotOrdinaryFile))
            << name;
        EXPECT_TRUE(files.replaceFile(path(name), "x").failedFor(Reason::NotOrdinaryFile)) << name;
    }
    EXPECT_TRUE(fs::is_fifo(m_dir / "fifo.ini"));
    EXPECT_TRUE(fs::is_symlink(m_dir / "null.ini"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_EQ(everything(), (Lines{"fifo.ini", "null.ini", "zero.txt"}));
    const std::string said = log.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 3) << said;
}

TEST_F(LocalFileSystemTest, ALineOverTheLimitIsCutAndTheRestSkipped)
{
    std::ostringstream log;
    LocalFileSystem files(log);
    const std::size_t limit = FileSystem::kMaxLineBytes;
    // Over the limit by a little and by several buffers, starting anywhere in a buffer.
    for (const std::size_t before : {std::size_t{0}, std::size_t{65530}}) {
        const std::string prefix(before, 'p');
        put("long.txt", prefix + "\r\n" + std::string(limit + 7, 'a') + "\r\nnext\r\n" +
                            std::string(3 * limit, 'b') + "z");
        std::vector<std::string> got;
        ASSERT_TRUE(files.readLines(path("long.txt"), [&](std::string_view line) {
            got.emplace_back(line);
            return true;
        }));
        EXPECT_EQ(got, (Lines{prefix, std::string(limit, 'a'), "next", std::string(limit, 'b')}));
    }
    EXPECT_EQ(log.str(), "tabulon: " + path("long.txt") + ": lines longer than 1 MiB were cut\n");
}

TEST_F(LocalFileSystemTest, ListFiles)
{
    for (const char* name : {"b.txt", "A.TXT", "c.Txt", ".hidden.txt", "d.ini", "txt"})
        put(name, "x");
    fs::create_directory(m_dir / "folder.txt");
    fs::create_symlink(m_dir / "b.txt", m_dir / "e.txt");
    fs::create_symlink(m_dir / "nowhere", m_dir / "f.txt");
    EXPECT_EQ(m_fs.listFiles(m_dir.string(), ".txt"), (Lines{"A.TXT", "b.txt", "c.Txt", "e.txt"}));
    EXPECT_EQ(m_fs.listFiles(m_dir.string(), ".INI"), (Lines{"d.ini"}));
    EXPECT_EQ(m_fs.listFiles(m_dir.string(), "").size(), 6u);
    EXPECT_TRUE(m_fs.listFiles(path("missing"), ".txt").empty());
    EXPECT_TRUE(m_fs.listFiles(path("d.ini"), ".txt").empty());
}

} // namespace
} // namespace automation
