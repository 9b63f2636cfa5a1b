#include "registry/RegisteredLists.h"

#include "automation/sim/SimDesktop.h"
#include "core/ListFile.h"
#include "registry/AppLaunch.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tabulon {
namespace {

namespace fs = std::filesystem;
using automation::sim::SimDesktop;
using nlohmann::json;

class RegisteredListsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("tabulon-lists-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(m_dir);
        automation::sim::SimSetup setup;
        setup.folders = {{"MyDocuments", (m_dir / "docs").string()}};
        m_desktop = std::make_unique<SimDesktop>(setup);
        m_platform = std::make_unique<automation::Platform>(m_desktop->platform());
        m_module = std::make_unique<Module1>(*m_platform, ProgramFiles{m_dir.string()});
        m_module->MyDocPath = (m_dir / "docs").string();
        m_module->SiteLast = 0;
        m_module->SiteList[0] = {"天気予報", "https://tenki.jp/"};
        m_module->AppLast = 0;
        m_module->AppList[0] = {"メモ帳", "C:\\windows\\notepad.exe"};
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::vector<ListEntry> fileEntries(const std::string& name)
    {
        return readListFile(m_desktop->control().files(), (m_dir / name).string(), 1000)
            .value_or(std::vector<ListEntry>{});
    }

    std::vector<ListEntry> sites() const
    {
        std::vector<ListEntry> entries;
        for (int i = 0; i <= m_module->SiteLast; ++i)
            entries.push_back({m_module->SiteList[static_cast<std::size_t>(i)].Name,
                               m_module->SiteList[static_cast<std::size_t>(i)].URL});
        return entries;
    }

    std::vector<ListEntry> apps() const
    {
        std::vector<ListEntry> entries;
        for (int i = 0; i <= m_module->AppLast; ++i)
            entries.push_back({m_module->AppList[static_cast<std::size_t>(i)].Name,
                               m_module->AppList[static_cast<std::size_t>(i)].Path});
        return entries;
    }

    fs::path m_dir;
    std::unique_ptr<SimDesktop> m_desktop;
    std::unique_ptr<automation::Platform> m_platform;
    std::unique_ptr<Module1> m_module;
};

TEST_F(RegisteredListsTest, DeletingMovesTheLaterEntriesUpAndKeepsTheLastOne)
{
    for (const char* name : {"B", "C", "D"})
        addApp(*m_module, {name, std::string("/p/") + name});
    ASSERT_TRUE(deleteApp(*m_module, 1));
    EXPECT_EQ(apps(), (std::vector<ListEntry>{
                          {"メモ帳", "C:\\windows\\notepad.exe"}, {"C", "/p/C"}, {"D", "/p/D"}}));
    ASSERT_TRUE(deleteApp(*m_module, 2));
    EXPECT_EQ(fileEntries("applist.txt"),
              (std::vector<ListEntry>{{"メモ帳", "C:\\windows\\notepad.exe"}, {"C", "/p/C"}}));

    EXPECT_FALSE(deleteApp(*m_module, 2)) << "no such entry";
    EXPECT_FALSE(deleteApp(*m_module, -1));
    ASSERT_TRUE(deleteApp(*m_module, 0));
    EXPECT_FALSE(deleteApp(*m_module, 0)) << "the last remaining entry stays";
    EXPECT_EQ(apps(), (std::vector<ListEntry>{{"C", "/p/C"}}));
}

TEST_F(RegisteredListsTest, AChangeThatCannotBeSavedIsUndone)
{
    addSite(*m_module, {"B", "http://b/"});
    addApp(*m_module, {"B", "/p/B"});
    const auto savedSites = sites();
    const auto savedApps = apps();
    m_desktop->control().files().setWritesFail(true);

    EXPECT_FALSE(addSite(*m_module, {"C", "http://c/"}));
    EXPECT_FALSE(changeSite(*m_module, 1, {"X", "http://x/"}));
    EXPECT_FALSE(deleteSite(*m_module, 0));
    EXPECT_FALSE(addApp(*m_module, {"C", "/p/C"}));
    EXPECT_FALSE(deleteApp(*m_module, 0));

    EXPECT_EQ(sites(), savedSites);
    EXPECT_EQ(apps(), savedApps);
    EXPECT_EQ(fileEntries("sitelist.txt"), savedSites);
    EXPECT_EQ(fileEntries("applist.txt"), savedApps);
}

TEST_F(RegisteredListsTest, AFailedSaveIsSaidOnceUntilASaveWorksAgain)
{
    const std::string settings = (m_dir / "tabulon.ini").string();
    ASSERT_TRUE(m_module->WriteIni("Wposition", "x1", "300"));
    m_desktop->control().files().setWritesFail(true);

    testing::internal::CaptureStderr();
    EXPECT_FALSE(m_module->WriteIni("Wposition", "x1", "105"));
    EXPECT_FALSE(m_module->WriteIni("Wposition", "y1", "200"));
    EXPECT_FALSE(addSite(*m_module, {"B", "http://b/"}));
    EXPECT_FALSE(addSite(*m_module, {"C", "http://c/"}));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said, "tabulon: " + settings + ": not saved: No space left on device\n" +
                        "tabulon: " + (m_dir / "sitelist.txt").string() +
                        ": not saved: No space left on device\n");
    EXPECT_EQ(m_module->ReadIni("Wposition", "x1"), "300");

    // Once a write works, the next failure is said again.
    m_desktop->control().files().setWritesFail(false);
    testing::internal::CaptureStderr();
    EXPECT_TRUE(m_module->WriteIni("Wposition", "x1", "105"));
    m_desktop->control().files().setWritesFail(true);
    EXPECT_FALSE(m_module->WriteIni("Wposition", "x1", "110"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "tabulon: " + settings + ": not saved: No space left on device\n");
    EXPECT_EQ(m_module->ReadIni("Wposition", "x1"), "105");
}

TEST_F(RegisteredListsTest, AListFileThatCouldNotBeReadIsNeverWrittenOver)
{
    // Too large to read: the built-in entry stands in, and no change may replace the
    // user's file with it.
    const fs::path siteFile = m_dir / "sitelist.txt";
    std::ofstream(siteFile, std::ios::binary) << "mine\r\nhttp://mine/\r\n";
    fs::resize_file(siteFile, automation::FileSystem::kMaxFileBytes + 1);
    m_module->LoadSiteList();
    EXPECT_EQ(sites(), (std::vector<ListEntry>{{"天気予報", "https://tenki.jp/"}}));
    EXPECT_FALSE(addSite(*m_module, {"B", "http://b/"}));
    EXPECT_FALSE(changeSite(*m_module, 0, {"X", "http://x/"}));
    EXPECT_EQ(sites(), (std::vector<ListEntry>{{"天気予報", "https://tenki.jp/"}}));
    EXPECT_EQ(fs::file_size(siteFile), automation::FileSystem::kMaxFileBytes + 1);
    // Once the file is gone, the list is saved again.
    fs::remove(siteFile);
    EXPECT_TRUE(addSite(*m_module, {"B", "http://b/"}));
    EXPECT_EQ(fileEntries("sitelist.txt"),
              (std::vector<ListEntry>{{"天気予報", "https://tenki.jp/"}, {"B", "http://b/"}}));

    // Not an ordinary file: left as it is.
    const fs::path appFile = m_dir / "applist.txt";
    ASSERT_EQ(::mkfifo(appFile.c_str(), 0600), 0);
    m_module->LoadAppList();
    EXPECT_FALSE(addApp(*m_module, {"B", "/p/B"}));
    EXPECT_TRUE(fs::is_fifo(appFile));
}

TEST_F(RegisteredListsTest, TheDefaultEntryStartsAnInstalledTextEditor)
{
    m_module->WinDir = "C:\\winnt";
    m_module->LoadAppList();
    EXPECT_EQ(apps(), (std::vector<ListEntry>{{"メモ帳", "C:\\winnt\\notepad.exe"}}));

    const fs::path bin = m_dir / "bin";
    fs::create_directories(bin);
    m_module->WinDir = bin.string();
    m_module->LoadAppList();
    EXPECT_EQ(apps(), (std::vector<ListEntry>{{"メモ帳", (bin / "gnome-text-editor").string()}}))
        << "with no editor installed";
    for (const char* editor : {"xedit", "mousepad", "editor"})
        std::ofstream(bin / editor) << "#!/bin/sh\n";
    m_module->LoadAppList();
    EXPECT_EQ(apps(), (std::vector<ListEntry>{{"メモ帳", (bin / "mousepad").string()}}));
}

TEST(StartsAsProgram, TheNamesExtensionDecidesInAnyCase)
{
    EXPECT_TRUE(startsAsProgram("Editor.EXE"));
    EXPECT_TRUE(startsAsProgram("old.tool.com"));
    EXPECT_TRUE(startsAsProgram("exe"));
    EXPECT_TRUE(startsAsProgram("COM"));
    EXPECT_FALSE(startsAsProgram("メモ帳"));
    EXPECT_FALSE(startsAsProgram("report.exe.txt"));
    EXPECT_FALSE(startsAsProgram("program.exe "));
    EXPECT_FALSE(startsAsProgram("x.executable"));
}

TEST_F(RegisteredListsTest, EntriesStartOrOpenByTheirName)
{
    addApp(*m_module, {"Tool.EXE", "/opt/tool/run --fast"});
    addApp(*m_module, {"tool", "/opt/tool/run.exe"});
    m_desktop->control().takeCalls();

    openApp(*m_module, 1, 4096);
    openApp(*m_module, 2, 4096);
    openApp(*m_module, 3, 4096);
    openApp(*m_module, -1, 4096);

    EXPECT_EQ(m_desktop->control().takeCalls(), json::parse(R"([
                  {"op": "StartProgram", "commandLine": "/opt/tool/run --fast", "show": 1},
                  {"op": "ShellExecute", "hwnd": 4096, "operation": "Open",
                   "file": "/opt/tool/run.exe", "parameters": "", "show": 1,
                   "directory": )" + json(m_dir.string()).dump() +
                                                            "}]"));
}

TEST_F(RegisteredListsTest, TheOpenDialogStartsInTheDocumentsFolder)
{
    m_desktop->control().dialogs().queueOpen(std::nullopt);
    m_desktop->control().dialogs().queueOpen("/home/u/x.txt");
    EXPECT_EQ(ChooseOpenFile(*m_module), std::nullopt);
    EXPECT_EQ(ChooseOpenFile(*m_module), "/home/u/x.txt");
    const json shown = m_desktop->control().dialogs().takeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]["initDir"], (m_dir / "docs").string());
}

} // namespace
} // namespace tabulon
