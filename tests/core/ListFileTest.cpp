#include "core/ListFile.h"

#include "automation/local/LocalFileSystem.h"
#include "base/Cp932.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

namespace tabulon {
namespace {

using namespace std::string_literals;
using Entries = std::vector<ListEntry>;

class ListFileTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = std::filesystem::temp_directory_path() /
                ("tabulon-list-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::string put(const std::string& bytes, const std::string& name = "sitelist.txt") const
    {
        std::ofstream out(path(name), std::ios::binary);
        out << bytes;
        return path(name);
    }

    std::string contents(const std::string& name) const
    {
        std::ifstream in(path(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    FileResult<Entries> read(const std::string& bytes, std::size_t max = 100)
    {
        return readListFile(m_fs, put(bytes), max);
    }

    std::filesystem::path m_dir;
    automation::LocalFileSystem m_fs;
};

TEST_F(ListFileTest, ReadsPairsWhateverTheLineEnds)
{
    const Entries expected{{"Yahoo", "http://www.yahoo.co.jp/"}, {"Home", "http://localhost/"}};
    EXPECT_EQ(read("Yahoo\r\nhttp://www.yahoo.co.jp/\r\nHome\r\nhttp://localhost/\r\n"), expected);
    EXPECT_EQ(read("Yahoo\nhttp://www.yahoo.co.jp/\nHome\nhttp://localhost/"), expected);
    EXPECT_EQ(read("Yahoo\rhttp://www.yahoo.co.jp/\r\nHome\rhttp://localhost/\n"), expected);
}

TEST_F(ListFileTest, KeepsBlanksAndEmptyLines)
{
    EXPECT_EQ(read("  name \r\n\r\n\r\n\tvalue\t\r\n"),
              (Entries{{"  name ", ""}, {"", "\tvalue\t"}}));
}

TEST_F(ListFileTest, GivesALastNameWithoutValueAnEmptyValue)
{
    EXPECT_EQ(read("a\r\n1\r\nb\r\n"), (Entries{{"a", "1"}, {"b", ""}}));
    EXPECT_EQ(read("a\r\n1\r\nb"), (Entries{{"a", "1"}, {"b", ""}}));
}

TEST_F(ListFileTest, EmptyAndMissingFiles)
{
    const FileResult<Entries> empty = read("");
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_FALSE(readListFile(m_fs, path("nothing.txt"), 100).has_value());
    EXPECT_FALSE(readListFile(m_fs, m_dir.string(), 100).has_value());
}

TEST_F(ListFileTest, StopsAtTheMostEntries)
{
    const std::string five = "1\r\na\r\n2\r\nb\r\n3\r\nc\r\n4\r\nd\r\n5\r\ne\r\n";
    EXPECT_EQ(read(five, 2), (Entries{{"1", "a"}, {"2", "b"}}));
    EXPECT_EQ(read(five, 5)->size(), 5u);
    EXPECT_EQ(read(five, 6)->size(), 5u);
    const FileResult<Entries> none = read(five, 0);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
    // A name left over after the last entry allowed is not an entry.
    EXPECT_EQ(read("1\r\na\r\n2\r\n", 1), (Entries{{"1", "a"}}));
    EXPECT_FALSE(readListFile(m_fs, path("nothing.txt"), 0).has_value());
}

TEST_F(ListFileTest, DecodesCp932AndKeepsOddBytes)
{
    const std::string bytes = "\x83\x5E\x83\x75\r\n" // タブ
                              "\x80\xFF\0\x81\r\n"   // junk, NUL, a lead byte cut off
                              "after\r\n"
                              "\x87\x40\r\n"s; // ①
    const FileResult<Entries> entries = read(bytes);
    ASSERT_TRUE(entries.has_value());
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_EQ((*entries)[0].name, "タブ");
    EXPECT_EQ(toCp932((*entries)[0].value), "\x80\xFF\0\x81"s);
    EXPECT_EQ((*entries)[1], (ListEntry{"after", "①"}));
    // Written back, the bytes are the same.
    ASSERT_TRUE(writeListFile(m_fs, path("copy.txt"), *entries));
    EXPECT_EQ(contents("copy.txt"), bytes);
}

TEST_F(ListFileTest, EditingOneEntryChangesNoOther)
{
    // Damaged lines of every kind, and characters with two codes.
    const std::vector<std::string> lines = {
        "\x82!a",                  // a lead byte before ASCII that is no trail byte
        "\x82",                    // at the end of a line
        "\0\x80\xA0\xFD\xFE\xFF"s, // NUL and bytes that are never valid
        "\x88\x82\xA0\x82",        // before another lead byte, next to a valid character
        "\x82\xFA\x54",            // before a character whose usual code would join it
        "\x85\x40",                // an unassigned code
        "\xED\x40",                // a character with two codes
        "\xE0",
    };
    std::string bytes;
    for (const std::string& line : lines)
        bytes += line + "\r\n";
    const FileResult<Entries> before = read(bytes);
    ASSERT_TRUE(before.has_value());
    ASSERT_EQ(before->size(), lines.size() / 2);

    for (std::size_t k = 0; k < before->size(); ++k) {
        // Something typed after a lone lead byte could make a character with it.
        Entries edited = *before;
        edited[k].value += "`ア";
        ASSERT_TRUE(writeListFile(m_fs, path("edited.txt"), edited));
        const FileResult<Entries> after = readListFile(m_fs, path("edited.txt"), 100);
        ASSERT_TRUE(after.has_value());
        ASSERT_EQ(after->size(), before->size()) << k;
        for (std::size_t j = 0; j < before->size(); ++j) {
            if (j != k) {
                EXPECT_EQ((*after)[j], (*before)[j]) << k << " " << j;
            }
        }
        EXPECT_EQ((*after)[k].name, (*before)[k].name);
        EXPECT_TRUE((*after)[k].value.ends_with("`ア")) << k;
    }
    // Untouched, every line comes back byte for byte but the one of two codes.
    ASSERT_TRUE(writeListFile(m_fs, path("same.txt"), *before));
    std::string expected = bytes;
    expected.replace(expected.find("\xED\x40"), 2, "\xFA\x5C");
    EXPECT_EQ(contents("same.txt"), expected);
}

TEST_F(ListFileTest, MegabyteLineKeepsItsNeighbours)
{
    const std::string longValue(1 << 20, 'x');
    EXPECT_EQ(read("before\r\n1\r\nlong\r\n" + longValue + "\r\nafter\r\n2\r\n"),
              (Entries{{"before", "1"}, {"long", longValue}, {"after", "2"}}));
}

TEST_F(ListFileTest, FormatsNameAndValueLinesInCp932)
{
    EXPECT_EQ(formatListFile({}), "");
    EXPECT_EQ(formatListFile({{"髙 ", " ～"}, {"", ""}}), "\xFB\xFC \r\n \x81\x60\r\n\r\n\r\n");
    // A line break in a name or value would shift every later entry.
    EXPECT_EQ(formatListFile({{"a\r\nb", "c\nd\r"}}), "ab\r\ncd\r\n");
}

TEST_F(ListFileTest, WritesAndReadsBack)
{
    const Entries entries{
        {"検索", "https://example.com/?q=a&b=c"}, {"  spaced  ", ""}, {"", "/usr/bin/app --flag"}};
    ASSERT_TRUE(writeListFile(m_fs, path("applist.txt"), entries));
    EXPECT_EQ(readListFile(m_fs, path("applist.txt"), 100), entries);
    ASSERT_TRUE(writeListFile(m_fs, path("applist.txt"), {}));
    EXPECT_EQ(contents("applist.txt"), "");
}

TEST_F(ListFileTest, FailedWriteLeavesTheOldFile)
{
    EXPECT_FALSE(writeListFile(m_fs, path("missing/sitelist.txt"), {{"a", "b"}}));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "missing"));
    // A folder where the file should be.
    std::filesystem::create_directory(m_dir / "taken");
    EXPECT_FALSE(writeListFile(m_fs, path("taken"), {{"a", "b"}}));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "taken"));
}

} // namespace
} // namespace tabulon
