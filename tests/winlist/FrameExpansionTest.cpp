#include "winlist/FrameExpansion.h"

#include "automation/sim/SimDesktop.h"
#include "core/Module1.h"
#include "winlist/Favorites.h"
#include "winlist/ListRebuild.h"
#include "winlist/WebWindowList.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace tabulon {
namespace {

namespace fs = std::filesystem;
using automation::sim::SimDesktop;
using automation::sim::SimDocumentData;
using automation::sim::SimFrame;
using automation::sim::SimWindow;
using nlohmann::json;
using Strings = std::vector<std::string>;

TEST(NormalizeUrl, FileAddressesBecomeLowerCasePathsWithBlanksAndSlashes)
{
    EXPECT_EQ(NormalizeUrl("file:///C:/My%20Docs/Frames/INDEX.HTML"),
              "c:/my docs/frames/index.html");
    EXPECT_EQ(NormalizeUrl("file://C:\\Doc\\Menu%20Bar.HTM"), "c:/doc/menu bar.htm");
    EXPECT_EQ(NormalizeUrl("file:///%20%20x"), "  x");
    EXPECT_EQ(NormalizeUrl("file"), "");
    // Japanese letters are whole characters when the scheme is dropped.
    EXPECT_EQ(NormalizeUrl("file:///D:/資料/A.htm"), "d:/資料/a.htm");
}

TEST(NormalizeUrl, OtherAddressesComeBackUnchangedUnlessTheyHoldAPlus)
{
    EXPECT_EQ(NormalizeUrl("http://Example.COM/Frame%20A.html"),
              "http://Example.COM/Frame%20A.html");
    EXPECT_EQ(NormalizeUrl("FILE:///C:/A.HTM"), "FILE:///C:/A.HTM");
    EXPECT_EQ(NormalizeUrl("http://example.com/?q=a+b"), "");
    EXPECT_EQ(NormalizeUrl("file:///C:/c++/x.htm"), "");
}

TEST(OpenableAddress, OnlyWhatAUserCouldTypeAsAnAddress)
{
    for (const char* address : {"http://a.example/x.html", "HTTPS://a.example/", "file:///C:/a.htm",
                                "ftp://f.example/x.txt", "www.example.com/a.html", "C:/Docs/a.htm",
                                "c:\\docs\\a.htm", "/tmp/a.html"})
        EXPECT_TRUE(isOpenableAddress(address)) << address;
    // Schemes the browser would run or show with the program's authority, also when
    // written the ways the browser still reads them.
    for (const char* address :
         {"javascript:alert(1)", "JavaScript:alert(1)", " \tjavascript:alert(1)",
          "java\nscript:alert(1)", "\x01javascript:alert(1)", "data:text/html,<b>x</b>",
          "chrome://quit", "about:blank", "view-source:http://a.example/",
          "blob:http://a.example/1", "mailto:a@example.com"})
        EXPECT_FALSE(isOpenableAddress(address)) << address;
}

class FrameExpansionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        static std::atomic<int> counter{0};
        m_dir = fs::temp_directory_path() /
                ("tabulon-frames-" + std::to_string(::getpid()) + "-" + std::to_string(++counter));
        fs::create_directories(m_dir / "fav");
        automation::sim::SimSetup setup;
        setup.folders = {{"Desktop", (m_dir / "Desktop").string()},
                         {"MyDocuments", (m_dir / "docs").string()},
                         {"Favorites", favorites()}};
        m_desktop = std::make_unique<SimDesktop>(setup);
        m_platform = std::make_unique<automation::Platform>(m_desktop->platform());
        m_module = std::make_unique<Module1>(*m_platform, ProgramFiles{m_dir.string()});
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    std::string favorites() const { return (m_dir / "fav").string(); }
    std::string favorite(const std::string& name) const { return favorites() + "/" + name; }

    SimWindow& browser(const std::string& id, const std::string& url, const std::string& title,
                       std::vector<SimFrame> frames)
    {
        SimWindow window;
        window.id = id;
        window.url = url;
        window.title = title;
        window.document = std::make_shared<SimDocumentData>();
        window.document->frames = std::move(frames);
        return m_desktop->control().openWindow(std::move(window), false);
    }

    void rebuild()
    {
        rebuildRows(m_list, *m_platform->objects.createShell()->windows(), *m_module);
    }

    // Expands the frames of row i; returns the calls it made.
    json expand(int row)
    {
        rebuild();
        m_list.select(row);
        m_desktop->control().takeCalls();
        FrameExpansion expansion{*m_platform, *m_module, m_list, m_List1, m_wait, "タブロン v1.06"};
        ExpandFrames(expansion);
        return m_desktop->control().takeCalls();
    }

    static Strings callsOf(const json& calls, const std::string& op, const std::string& field)
    {
        Strings values;
        for (const json& call : calls) {
            if (call["op"] == op)
                values.push_back(call[field].get<std::string>());
        }
        return values;
    }

    fs::path m_dir;
    std::unique_ptr<SimDesktop> m_desktop;
    std::unique_ptr<automation::Platform> m_platform;
    std::unique_ptr<Module1> m_module;
    WebWindowList m_list;
    Strings m_List1;
    std::string m_pending;
    Strings m_late;
    bool m_ended = false;
    FavoriteWait m_wait{m_pending, m_late, [this] { return m_ended; }};
};

TEST_F(FrameExpansionTest, APageWithoutFramesOpensNothingAndActivatesNothing)
{
    browser("plain", "http://plain.example/", "Plain", {});
    const json calls = expand(1);
    EXPECT_TRUE(callsOf(calls, "SendKeys", "keys").empty());
    EXPECT_TRUE(callsOf(calls, "AppActivate", "caption").empty());
    EXPECT_TRUE(callsOf(calls, "CreateBrowser", "window").empty());
}

TEST_F(FrameExpansionTest, TicksRunDuringTheWaitWhileTheCleanUpSparesTheFile)
{
    SimWindow& top = browser("top", "http://site.example/", "Top",
                             {{"http://site.example/a.html"}, {"http://site.example/b.html"}});
    top.favorite.delayMs = 3000;
    int ticks = 0;
    bool sparedWhileWaiting = false;
    const auto timer = m_platform->clock.startTimer(2000, [&] {
        ++ticks;
        // The browser's file, before it has its URL= line complete, must survive.
        std::ofstream(favorite("D1.url")) << "BASEURL=http://site.example/a.html\r\n";
        cleanFavorites(m_platform->files, favorites(), m_pending);
        sparedWhileWaiting = m_pending == favorite("D1.url") && fs::exists(favorite("D1.url"));
        fs::remove(favorite("D1.url"));
    });

    expand(1);

    EXPECT_EQ(ticks, 1);
    EXPECT_TRUE(sparedWhileWaiting);
    EXPECT_EQ(m_desktop->control().clock().nowMs(), 3000);
    EXPECT_EQ(m_List1, (Strings{"http://site.example/a.html", "http://site.example/b.html"}));
    EXPECT_FALSE(fs::exists(favorite("D1.url")));
    EXPECT_TRUE(m_pending.empty());
}

TEST_F(FrameExpansionTest, AnEndDuringTheWaitOpensNothing)
{
    SimWindow& top =
        browser("top", "http://site.example/", "Top", {{"http://site.example/a.html"}});
    top.favorite.never = true;
    const auto timer = m_platform->clock.startTimer(2000, [&] { m_ended = true; });

    const json calls = expand(1);

    EXPECT_EQ(m_desktop->control().clock().nowMs(), 2000);
    EXPECT_TRUE(callsOf(calls, "CreateBrowser", "window").empty());
    EXPECT_EQ(m_late, Strings{favorite("D1.url")});
}

TEST_F(FrameExpansionTest, AWindowWithoutTheExpectedCaptionAbandonsOnlyTheFavouriteRoute)
{
    SimWindow& top =
        browser("top", "http://site.example/", "Top", {{"http://site.example/a.html"}});
    // The page's title changed since the caption was made: the keys must not be sent to
    // whatever window is active.
    top.document->fail.insert("Title");

    const json calls = expand(1);

    EXPECT_TRUE(callsOf(calls, "SendKeys", "keys").empty());
    EXPECT_EQ(callsOf(calls, "Navigate", "url"), Strings{"http://site.example/a.html"});
    EXPECT_TRUE(m_late.empty());
}

TEST_F(FrameExpansionTest, AFramesAddressCanNeitherRunScriptNorAddAnAddress)
{
    browser("top", "http://site.example/", "Top",
            {{"http://site.example/a.html"},
             {"javascript:alert(document.cookie)"},
             {"data:text/html,<script>alert(1)</script>"},
             {"chrome://settings/resetProfileSettings"},
             {"ftp://files.example/list.txt"},
             // A line break in an address must not give the shortcut another line.
             {"http://site.example/b.html\r\nBASEURL=http://evil.example/c.html"}});

    const Strings opened = callsOf(expand(1), "Navigate", "url");

    EXPECT_NE(std::find(opened.begin(), opened.end(), "http://site.example/a.html"), opened.end());
    EXPECT_NE(std::find(opened.begin(), opened.end(), "ftp://files.example/list.txt"),
              opened.end());
    for (const std::string& url : opened) {
        EXPECT_TRUE(url.rfind("http://site.example/", 0) == 0 ||
                    url == "ftp://files.example/list.txt")
            << url;
    }
}

TEST_F(FrameExpansionTest, RowsAboveTheTwentiethOpenNothing)
{
    for (int i = 1; i <= 21; ++i)
        browser("w" + std::to_string(i), "http://site" + std::to_string(i) + ".example/", "W",
                {{"http://frame.example/a.html"}});
    const json calls = expand(21);
    EXPECT_TRUE(calls.empty());
    EXPECT_TRUE(m_List1.empty());
}

} // namespace
} // namespace tabulon
