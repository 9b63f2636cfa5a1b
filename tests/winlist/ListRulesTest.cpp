#include "automation/local/LocalFileSystem.h"
#include "winlist/Favorites.h"
#include "winlist/ListRebuild.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

TEST(ListRules, AWebWindowShowsAWebPageOrAnHtmlFile)
{
    EXPECT_TRUE(isWebAddress("http://a/"));
    EXPECT_TRUE(isWebAddress("https://a/"));
    EXPECT_TRUE(isWebAddress("file:///c:/doc/index.html"));
    EXPECT_TRUE(isWebAddress("file:///c:/doc/page.htm"));
    EXPECT_FALSE(isWebAddress("file:///c:/readme.txt"));
    EXPECT_FALSE(isWebAddress("about:blank"));
    EXPECT_FALSE(isWebAddress("ftp://a/pub/"));
    EXPECT_FALSE(isWebAddress("file:///c:/page.html?x=1"));
    EXPECT_FALSE(isWebAddress(""));
}

class FavoritesCleanup : public testing::Test
{
protected:
    void SetUp() override
    {
        folder =
            std::filesystem::temp_directory_path() /
            ("tabulon-fav-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    void write(const std::string& name, const std::string& bytes)
    {
        std::ofstream(folder / name, std::ios::binary) << bytes;
    }
    bool exists(const std::string& name) { return std::filesystem::exists(folder / name); }

    std::filesystem::path folder;
    automation::LocalFileSystem files;
};

TEST_F(FavoritesCleanup, KeepsAddressLinesFarDownAndSparesTheAwaitedFavorite)
{
    write("long.url", std::string(std::size_t{2} * 1024 * 1024, 'x') + "\r\nURL=http://kept/\r\n");
    write("nul.url", std::string("BASEURL=a\0b\r\nURL=http://kept/\r\n", 31));
    write("cr.url", "[InternetShortcut]\rURL=http://kept/\r");
    write("D1.url", "BASEURL=http://frame/\r\n");
    write("D2.url", "BASEURL=http://frame/\r\n");

    cleanFavorites(files, folder.string(), (folder / "D1.url").string());

    EXPECT_TRUE(exists("long.url"));
    EXPECT_TRUE(exists("nul.url"));
    EXPECT_TRUE(exists("cr.url"));
    EXPECT_TRUE(exists("D1.url"));
    EXPECT_FALSE(exists("D2.url"));
}

} // namespace
} // namespace tabulon
