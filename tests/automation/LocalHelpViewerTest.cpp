#include "automation/local/LocalHelpViewer.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <set>
#include <unistd.h>

namespace automation {
namespace {

namespace fs = std::filesystem;

// The machine's extractor, with the programs the viewer starts recorded instead.
class LocalHelpViewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("tabulon-help-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(m_dir);
        const LocalHelpViewer::Tools machine = LocalHelpViewer::machineTools();
        tools.findProgram = [this, machine](const std::string& name) {
            return installed.count(name) ? machine.findProgram(name) : std::string();
        };
        tools.start = [this](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return true;
        };
        tools.run = [this, machine](const std::vector<std::string>& argv, int timeoutMs) {
            ++runs;
            return machine.run(argv, timeoutMs);
        };
    }
    void TearDown() override
    {
        std::error_code error;
        fs::remove_all(m_dir, error);
    }

    std::string cache() const { return (m_dir / "cache").string(); }
    std::vector<fs::path> cacheEntries() const
    {
        std::vector<fs::path> entries;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(cache(), error))
            entries.push_back(entry.path());
        return entries;
    }

    std::set<std::string> installed = {"extract_chmLib", "xdg-open"};
    LocalHelpViewer::Tools tools;
    std::vector<std::vector<std::string>> started;
    int runs = 0;
    fs::path m_dir;
};

#ifdef TABULON_HELP_CHM
TEST_F(LocalHelpViewerTest, WithoutAViewerTheTopicOpensInTheBrowser)
{
    if (LocalHelpViewer::machineTools().findProgram("extract_chmLib").empty())
        GTEST_SKIP() << "extract_chmLib (libchm-bin) is not installed";
    LocalHelpViewer viewer(tools, cache());
    viewer.HtmlHelp(TABULON_HELP_CHM, "introduction.html");
    ASSERT_EQ(started.size(), 1u);
    ASSERT_EQ(started[0].size(), 2u);
    EXPECT_EQ(fs::path(started[0][0]).filename(), "xdg-open");
    const fs::path page = started[0][1];
    EXPECT_EQ(page.filename(), "introduction.html");
    std::ifstream in(page);
    const std::string html((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(html.find("<title>タブロンについて</title>"), std::string::npos);

    // The same file is extracted once; its folder is all the cache holds.
    viewer.HtmlHelp(TABULON_HELP_CHM, "/windowmenu.html");
    EXPECT_EQ(runs, 1);
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(fs::path(started[1][1]), page.parent_path() / "windowmenu.html");
    EXPECT_EQ(cacheEntries().size(), 1u);
}

TEST_F(LocalHelpViewerTest, AMissingTopicOrOneOutsideTheFileOpensNothing)
{
    LocalHelpViewer viewer(tools, cache());
    viewer.HtmlHelp(TABULON_HELP_CHM, "../../etc/passwd");
    viewer.HtmlHelp(TABULON_HELP_CHM, "");
    EXPECT_EQ(runs, 0);
    viewer.HtmlHelp(TABULON_HELP_CHM, "nothere.html");
    EXPECT_TRUE(started.empty());
}
#endif

TEST_F(LocalHelpViewerTest, AnInstalledViewerGetsTheFileItself)
{
    // A stand-in for the viewer on PATH.
    tools.findProgram = [](const std::string& name) {
        return name == "xchm" ? std::string("/usr/bin/xchm") : std::string();
    };
    LocalHelpViewer viewer(tools, cache());
    viewer.HtmlHelp("/opt/tabulon/tabulon.chm", "introduction.html");
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0], (std::vector<std::string>{"/usr/bin/xchm", "/opt/tabulon/tabulon.chm"}));
    EXPECT_EQ(runs, 0);
}

TEST_F(LocalHelpViewerTest, ADamagedFileOpensNothingAndLeavesNothingBehind)
{
    if (LocalHelpViewer::machineTools().findProgram("extract_chmLib").empty())
        GTEST_SKIP() << "extract_chmLib (libchm-bin) is not installed";
    const fs::path damaged = m_dir / "broken.chm";
    std::ofstream(damaged, std::ios::binary) << "ITSF but nothing more";
    LocalHelpViewer viewer(tools, cache());
    viewer.HtmlHelp(damaged.string(), "introduction.html");
    viewer.HtmlHelp((m_dir / "gone.chm").string(), "introduction.html");
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(started.empty());
    EXPECT_TRUE(cacheEntries().empty());
}

} // namespace
} // namespace automation
