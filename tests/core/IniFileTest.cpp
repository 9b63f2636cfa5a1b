#include "core/IniFile.h"

#include "automation/FileSystem.h"
#include "automation/local/LocalFileSystem.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulon {
namespace {

// A file system whose one file can be made unreadable.
class MemoryFileSystem : public automation::FileSystem
{
public:
    std::map<std::string, std::string> files;
    bool unreadable = false;
    int replaced = 0;

    bool isFile(const std::string& path) override { return files.contains(path); }
    std::vector<std::string> listFiles(const std::string&, const std::string&) override
    {
        return {};
    }
    FileResult<std::string> readFile(const std::string& path) override
    {
        if (!files.contains(path))
            return FileError{FileError::Reason::NotFound, "missing"};
        if (unreadable)
            return FileError{FileError::Reason::Failed, "unreadable"};
        return files[path];
    }
    FileResult<void> readLines(const std::string&,
                               const std::function<bool(std::string_view)>&) override
    {
        return FileError{FileError::Reason::Failed, "not kept"};
    }
    FileResult<void> replaceFile(const std::string& path, std::string_view bytes) override
    {
        ++replaced;
        files[path] = std::string(bytes);
        return {};
    }
    bool DeleteFile(const std::string& path) override { return files.erase(path) > 0; }
};

TEST(IniFile, LeavesAFileItCannotReadAlone)
{
    MemoryFileSystem fs;
    fs.files["/x.ini"] = "[s]\r\nk=old\r\n";
    fs.unreadable = true;
    IniFile ini(fs, "/x.ini");
    EXPECT_EQ(ini.read("s", "k"), "");
    EXPECT_FALSE(ini.write("s", "k", "new"));
    EXPECT_EQ(fs.replaced, 0);
    EXPECT_EQ(fs.files["/x.ini"], "[s]\r\nk=old\r\n");
}

class IniFileOnDisk : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = std::filesystem::temp_directory_path() /
                ("tabulon-ini-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    static std::string contents(const std::string& p)
    {
        std::ifstream in(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
    automation::LocalFileSystem m_fs;
};

TEST_F(IniFileOnDisk, CreatesUpdatesAndReadsTheFile)
{
    IniFile ini(m_fs, path("Tabulon.ini"));
    EXPECT_EQ(ini.read("Main", "Title"), "");
    ASSERT_TRUE(ini.write("Main", "Title", "タブ"));
    EXPECT_EQ(contents(ini.path()), "[Main]\r\nTitle=\x83\x5E\x83\x75\r\n");
    ASSERT_TRUE(ini.write("main", "Count", "3"));
    ASSERT_TRUE(ini.write("Main", "title", "x"));
    EXPECT_EQ(contents(ini.path()), "[Main]\r\ntitle=x\r\nCount=3\r\n");
    EXPECT_EQ(ini.read("MAIN", "COUNT"), "3");
}

TEST_F(IniFileOnDisk, ASettingsFileItCannotReadIsKeptAsItIs)
{
    // Too large: the program runs on its defaults, and the one key it would write must
    // not take the place of everything else the file holds.
    const std::string big = path("Tabulon.ini");
    const std::string head = "[Wposition]\r\nx1=300\r\n";
    std::ofstream(big, std::ios::binary) << head;
    std::filesystem::resize_file(big, automation::FileSystem::kMaxFileBytes + 1);
    IniFile ini(m_fs, big);
    EXPECT_EQ(ini.read("Wposition", "x1"), "");
    EXPECT_FALSE(ini.write("Wposition", "x1", "105"));
    EXPECT_EQ(std::filesystem::file_size(big), automation::FileSystem::kMaxFileBytes + 1);
    std::ifstream in(big, std::ios::binary);
    std::string start(head.size(), '\0');
    in.read(start.data(), static_cast<std::streamsize>(start.size()));
    EXPECT_EQ(start, head);

    // A FIFO in its place is neither waited on nor replaced.
    const std::string fifo = path("Fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniFile other(m_fs, fifo);
    EXPECT_EQ(other.read("Wposition", "x1"), "");
    EXPECT_FALSE(other.write("Wposition", "x1", "105"));
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
}

TEST_F(IniFileOnDisk, FailsWithoutTouchingAnythingWhenTheFolderIsMissing)
{
    IniFile ini(m_fs, path("missing/Tabulon.ini"));
    EXPECT_FALSE(ini.write("s", "k", "v"));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
}

} // namespace
} // namespace tabulon
