#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Backend.h"
#include "app/Form1.h"
#include "automation/Error.h"
#include "automation/local/Process.h"
#include "automation/x11/X11Desktop.h"
#include "core/Module1.h"
#include "page/Form2.h"
#include "page/Form7.h"

#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sstream>
#include <thread>

using namespace std::chrono_literals;
using automation::Rect;
using automation::chromium::WindowBounds;
using automation::chromium::WindowState;
using automation::x11::kAbove;
using tabulon::ListRow;

namespace automation {

// Rectangles in failure messages.
std::ostream& operator<<(std::ostream& out, const Rect& r)
{
    return out << '[' << r.left << ", " << r.top << ", " << r.width << ", " << r.height << ']';
}

} // namespace automation

namespace {

// sitelist.txt: name and address on alternate lines, CR LF.
std::string siteList(const std::vector<std::pair<std::string, std::string>>& sites)
{
    std::string text;
    for (const auto& [name, url] : sites)
        text.append(name).append("\r\n").append(url).append("\r\n");
    return text;
}

// The X11 caption Chromium gives the window of a page with this title.
std::string chromiumCaption(const std::string& title)
{
    return title + " - Chromium";
}

Rect rectOf(const WindowBounds& bounds)
{
    return Rect{bounds.left, bounds.top, bounds.width, bounds.height};
}

double secondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename Step> double timed(Step&& step)
{
    const auto start = std::chrono::steady_clock::now();
    step();
    return secondsSince(start);
}

// The screen in pixels, as the program measures it.
struct Pixels
{
    int width;
    int height;
};

Pixels screenOf(RealProgram& p)
{
    const auto screen = p.platform().windows.screen();
    return {static_cast<int>(screen.widthTwips) / screen.twipsPerPixelX,
            static_cast<int>(screen.heightTwips) / screen.twipsPerPixelY};
}

// Chromium keeps its windows at least this wide.
constexpr int kChromiumMinimumWidth = 508;

// Takes a picture of the screen with tabulon-xshot when TABULON_E2E_SHOT names a file.
void screenshotIfAsked()
{
    const char* file = std::getenv("TABULON_E2E_SHOT");
    if (!file || !*file)
        return;
    RealProgram::pump(500ms);
    automation::SpawnOptions options;
    options.argv = {TABULON_XSHOT, file};
    automation::Process shot = automation::Process::spawn(options);
    const auto ended = shot.waitFor(30s);
    EXPECT_TRUE(ended && ended->success());
}

struct ProgramE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();
};

} // namespace

TEST_F(ProgramE2e, TheListShowsEveryWindowWithItsCellsAndFollowsItsState)
{
    RealProgram p({{"sitelist.txt", siteList({{"plain", web.url("/plain.html")},
                                              {"frames", web.url("/frameset.html")},
                                              {"jp", web.url("/jp.html")}})}});
    // Nothing runs before the user opens a page.
    EXPECT_TRUE(p.shown().empty());
    EXPECT_FALSE(p.browser().connected());

    p.choose("mSite(0)");
    p.choose("mSite(1)");
    p.choose("mSite(2)");
    ASSERT_TRUE(p.settle(3));
    const std::vector<std::tuple<std::string, std::string, std::string>> pages = {
        {"Plain page", "0", web.url("/plain.html")},
        {"Frame set", "2", web.url("/frameset.html")},
        {"日本語のページ", "0", web.url("/jp.html")}};
    for (int i = 1; i <= 3; ++i) {
        const auto& [title, frames, url] = pages[static_cast<std::size_t>(i - 1)];
        const ListRow row = p.shown()[static_cast<std::size_t>(i - 1)];
        const WindowBounds bounds = p.boundsOf(i);
        EXPECT_EQ(row.text, title);
        EXPECT_EQ(row.sub[0], "M");
        EXPECT_EQ(row.sub[1], std::to_string(bounds.height));
        EXPECT_EQ(row.sub[2], std::to_string(bounds.width));
        EXPECT_EQ(row.sub[3], frames);
        EXPECT_EQ(row.sub[4], url);
        // The browser's idea of its window is the window manager's.
        EXPECT_EQ(p.x11Frame(chromiumCaption(title)), rectOf(bounds)) << title;
    }

    // The main window is kept on top by the window manager, not by Qt.
    const auto mainState = p.probe().connection().netState(p.form().hWnd());
    ASSERT_TRUE(mainState);
    EXPECT_TRUE(*mainState & kAbove);
    EXPECT_FALSE(p.form().windowFlags() & Qt::WindowStaysOnTopHint);
    p.choose("EverFront");
    EXPECT_FALSE(*p.probe().connection().netState(p.form().hWnd()) & kAbove);
    p.choose("EverFront");
    EXPECT_TRUE(*p.probe().connection().netState(p.form().hWnd()) & kAbove);

    // The user minimises one window and maximises another behind the program's back.
    auto& browser = p.browser();
    browser.setWindowState("test", p.boundsOf(1).windowId, WindowState::Minimized);
    browser.setWindowState("test", p.boundsOf(3).windowId, WindowState::Maximized);
    const Pixels screen = screenOf(p);
    ASSERT_TRUE(p.refreshUntil([&] {
        const auto rows = p.shown();
        return rows.size() == 3 && rows[0].sub[0] == "S" && rows[2].sub[0] == "L";
    })) << p.shown()[0].sub[0]
        << p.shown()[2].sub[0];
    EXPECT_EQ(p.shown()[0].sub[1], "24");
    EXPECT_EQ(p.shown()[0].sub[2], "160");
    EXPECT_EQ(p.shown()[1].sub[0], "M");
    EXPECT_EQ(p.shown()[2].sub[2], std::to_string(screen.width));
}

TEST_F(ProgramE2e, EvenTilingAndCascadeOfWebWindowsGiveTheComputedGeometry)
{
    RealProgram p;
    for (const char* page : {"/plain.html", "/a.html", "/b.html", "/jp.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.settle(4));
    const Pixels screen = screenOf(p);

    // Four windows: two columns and two rows over the screen less a 25-pixel strip.
    p.choose("menuTile3");
    const int cellWidth = screen.width / 2;
    const int cellHeight = (screen.height - 25) / 2;
    for (int i = 1; i <= 4; ++i) {
        const int m = i - 1;
        const Rect want{(m % 2) * cellWidth, (m / 2) * cellHeight,
                        std::max(cellWidth, kChromiumMinimumWidth), cellHeight};
        EXPECT_TRUE(RealProgram::eventually([&] {
            const WindowBounds bounds = p.boundsOf(i);
            return bounds.state == WindowState::Normal && rectOf(bounds) == want;
        })) << "row "
            << i << ": " << rectOf(p.boundsOf(i));
        const std::string caption = chromiumCaption(p.shown()[static_cast<std::size_t>(m)].text);
        EXPECT_TRUE(RealProgram::eventually([&] { return p.x11Frame(caption) == want; }))
            << "row " << i << ": " << p.x11Frame(caption).value_or(Rect{});
    }
    ASSERT_TRUE(p.refreshUntil([&] {
        const auto rows = p.shown();
        return rows.size() == 4 && rows[3].sub[1] == std::to_string(cellHeight) &&
               rows[3].sub[2] == std::to_string(std::max(cellWidth, kChromiumMinimumWidth));
    }));
    screenshotIfAsked();

    // The cascade: 25 pixels apart, smaller by 25 pixels for every row and one more.
    p.choose("menuCascade2");
    const Rect size{0, 0, screen.width - 25 * 5, screen.height - 25 * 5};
    for (int i = 1; i <= 4; ++i) {
        const int offset = 25 * (i - 1);
        const Rect want{offset, offset, std::max(size.width, kChromiumMinimumWidth), size.height};
        EXPECT_TRUE(RealProgram::eventually([&] { return rectOf(p.boundsOf(i)) == want; }))
            << "row " << i << ": " << rectOf(p.boundsOf(i));
        const std::string caption =
            chromiumCaption(p.shown()[static_cast<std::size_t>(i - 1)].text);
        EXPECT_TRUE(RealProgram::eventually([&] { return p.x11Frame(caption) == want; }))
            << "row " << i << ": " << p.x11Frame(caption).value_or(Rect{});
    }
}

TEST_F(ProgramE2e, MinimiseRestoreAndCloseEveryWindowThenOpenAgain)
{
    RealProgram p({{"sitelist.txt", siteList({{"plain", web.url("/plain.html")}})}});
    for (const char* page : {"/plain.html", "/a.html", "/b.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.settle(3));
    const automation::Hwnd main = p.form().hWnd();

    p.choose("menuMinAll");
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(RealProgram::eventually([&] {
            return p.boundsOf(i).state == WindowState::Minimized;
        })) << "row "
            << i;
    // The main window went down with the others and came back.
    EXPECT_FALSE(p.probe().IsIconic(main));
    EXPECT_TRUE(*p.probe().connection().netState(main) & kAbove);
    ASSERT_TRUE(p.refreshUntil([&] {
        for (const auto& row : p.shown()) {
            if (row.sub[0] != "S")
                return false;
        }
        return p.shown().size() == 3;
    }));

    p.choose("menuNorm");
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(RealProgram::eventually([&] {
            return p.boundsOf(i).state == WindowState::Normal;
        })) << "row "
            << i;
    ASSERT_TRUE(p.settle(3));
    for (const auto& row : p.shown())
        EXPECT_EQ(row.sub[0], "M");

    // Closing every window empties the list at once; the browser ends with its last
    // window, and the next site opened starts it again.
    const int pid = p.browser().browserProcessId();
    p.choose("menuCloseAll");
    EXPECT_TRUE(p.shown().empty());
    EXPECT_TRUE(p.refreshUntil([&] { return !p.browser().connected(); }, 10s));
    EXPECT_TRUE(p.shown().empty());
    p.choose("mSite(0)");
    ASSERT_TRUE(p.settle(1));
    EXPECT_EQ(p.shown()[0].text, "Plain page");
    EXPECT_NE(p.browser().browserProcessId(), pid);
}

TEST_F(ProgramE2e, BringToFrontPlacesTheSelectedWindowAndActivatesIt)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/plain.html"));
    p.module().OpenSiteWindow(web.url("/a.html"));
    ASSERT_TRUE(p.settle(2));
    const Pixels screen = screenOf(p);

    p.form().selectRow(1);
    p.choose("menuActivate");
    // 5 % of the screen from the top-left corner, 90 % of it in size.
    const Rect want{static_cast<int>(screen.width * 0.05), static_cast<int>(screen.height * 0.05),
                    static_cast<int>(screen.width * 0.9), static_cast<int>(screen.height * 0.9)};
    // The window went down and came back up; the window manager has the last word.
    EXPECT_TRUE(RealProgram::eventually([&] {
        const WindowBounds bounds = p.boundsOf(1);
        return bounds.state == WindowState::Normal && rectOf(bounds) == want;
    })) << automation::chromium::protocolName(p.boundsOf(1).state)
        << ' ' << rectOf(p.boundsOf(1));
    const automation::Hwnd window = p.probe().findByCaption(chromiumCaption("Plain page"));
    ASSERT_NE(window, 0);
    EXPECT_TRUE(p.refreshUntil(
        [&] { return p.probe().connection().activeWindow() == static_cast<std::uint32_t>(window); },
        5s));

    // A browser's caption activates the tab showing that title; none shows this one.
    p.platform().windows.AppActivate("A page - Microsoft Internet Explorer");
    const automation::Hwnd other = p.probe().findByCaption(chromiumCaption("A page"));
    EXPECT_TRUE(p.refreshUntil(
        [&] { return p.probe().connection().activeWindow() == static_cast<std::uint32_t>(other); },
        5s));
    EXPECT_THROW(p.platform().windows.AppActivate("No such page - Microsoft Internet Explorer"),
                 automation::Error);
    // Any other caption is an X11 window's.
    p.platform().windows.AppActivate(tabulon::Form1::kCaption);
    EXPECT_TRUE(p.refreshUntil(
        [&] {
            return p.probe().connection().activeWindow() ==
                   static_cast<std::uint32_t>(p.form().hWnd());
        },
        5s));
}

TEST_F(ProgramE2e, FramesOpenAsWindowsOfTheirOwnThroughTheFavouriteFile)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/frameset.html"));
    ASSERT_TRUE(p.settle(1));
    ASSERT_EQ(p.shown()[0].sub[3], "2");

    p.form().selectRow(1);
    p.choose("menuFrame");
    // The expansion waits for the favourite file, then the two frames load in windows
    // of their own; a loaded machine (the sanitizer build) needs more than the usual.
    ASSERT_TRUE(p.settle(3, 60s));
    std::vector<std::string> urls;
    for (const auto& row : p.shown())
        urls.push_back(row.sub[4]);
    // The cross-site frame is reached too.
    EXPECT_EQ(urls, (std::vector<std::string>{web.url("/frameset.html"), web.url("/a.html"),
                                              web.url("/b.html", true)}));
    // The browser's answer to the keystrokes was read and deleted; the main window has
    // the focus back.
    const std::string favorites =
        p.platform().objects.createScriptingShell()->SpecialFolders("Favorites");
    EXPECT_TRUE(std::filesystem::is_directory(favorites));
    EXPECT_TRUE(std::filesystem::is_empty(favorites));
    EXPECT_EQ(p.probe().connection().activeWindow(), static_cast<std::uint32_t>(p.form().hWnd()));
}

TEST_F(ProgramE2e, BaseColoursAndFontSizeChangeThePage)
{
    // Stored colours (0x00BBGGRR, plus one): red text, green links, blue active links,
    // grey visited ones, a yellow background, and the background picture taken off.
    RealProgram p({{"tabulon.ini", std::string("[HTMColor]\r\nFG=256\r\nBG=65536\r\nLG=65281\r\n"
                                               "AL=16711681\r\nVL=8421505\r\nGR=0\r\n")}});
    p.module().OpenSiteWindow(web.url("/a.html"));
    ASSERT_TRUE(p.settle(1));
    const std::string tab = p.tabOf(1);
    ASSERT_EQ(p.browser().evaluate("test", tab, "document.body.background"), "bg.png");

    p.form().selectRow(1);
    p.choose("menuCHGcolor");
    EXPECT_EQ(p.browser().evaluate("test", tab,
                                   "[document.fgColor, document.linkColor, document.alinkColor, "
                                   "document.vlinkColor, document.bgColor, "
                                   "document.body.background].join(' ')"),
              "#ff0000 #00ff00 #0000ff #808080 #ffff00 ");
    EXPECT_EQ(p.browser().evaluate("test", tab, "getComputedStyle(document.body).backgroundColor"),
              "rgb(255, 255, 0)");

    p.choose("fontp");
    tabulon::Form2* form2 = p.form().form2IfLoaded();
    ASSERT_TRUE(form2);
    EXPECT_TRUE(form2->isVisible());
    form2->Command1->click();
    EXPECT_EQ(p.browser().evaluate("test", tab, "document.body.style.fontSize"), "1.1em");
    // What is seen grows through the page's zoom; the body keeps its size meanwhile, so
    // that text sized from it does not grow twice.
    EXPECT_EQ(p.browser().evaluate("test", tab, "getComputedStyle(document.body).fontSize"),
              "16px");
    EXPECT_EQ(p.browser().evaluate("test", tab, "getComputedStyle(document.documentElement).zoom"),
              "1.1");
}

TEST_F(ProgramE2e, TheReportDescribesThePage)
{
    RealProgram p;
    // The cookie page sets a cookie for the site the report's page comes from.
    p.module().OpenSiteWindow(web.url("/cookie.html"));
    p.module().OpenSiteWindow(web.url("/a.html"));
    ASSERT_TRUE(p.settle(2));
    ASSERT_EQ(p.shown()[1].text, "A page");

    p.form().selectRow(2);
    p.choose("menuInfo");
    tabulon::Form7* form7 = p.form().form7IfLoaded();
    ASSERT_TRUE(form7);
    EXPECT_TRUE(form7->isVisible());
    const std::string report = form7->reportText();
    const WindowBounds bounds = p.boundsOf(2);
    for (const std::string& line : std::vector<std::string>{
             "サイトの名称:  A page\r\n", "URL:　　　       " + web.url("/a.html") + "\r\n\r\n",
             "Window Width =  " + std::to_string(bounds.width) + "\r\n",
             "Window Height =  " + std::to_string(bounds.height) + "\r\n",
             "Cookie：　flavour=oat\r\n", "　Script:　1\r\n", "　StyleSheet:　1\r\n",
             "　Form:　1\r\n", "　Anchor:　1\r\n", "　Frame: 0\r\n", "image: 1\r\n",
             "    URL(0)= " + web.url("/pic.png") + "\r\n",
             "        file size = " + std::to_string(web.page("/pic.png").size()) + "\r\n",
             "link: 2\r\n", "   title(0)= bee <b>bold</b>\r\n",
             "      url(0)= " + web.url("/b.html") + "\r\n\r\n", "   title(1)= plain\r\n",
             "      url(1)= " + web.url("/plain.html") + "\r\n\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\nin\n" << report;
}

TEST_F(ProgramE2e, APageThatKeepsHangingCostsEachRebuildOneShortWait)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/plain.html"));
    ASSERT_TRUE(p.settle(1));
    // The page's script spins from 300 ms after it loaded, and again after every time
    // it is stopped.
    p.module().OpenSiteWindow(web.url("/spin.html"));
    RealProgram::pump(1500ms);

    const double rebuild = timed([&] { p.form().RefreshList(); });
    // The program's own ticks run meanwhile, each meeting the hung page.
    const double stall = RealProgram::longestStall(6s);
    std::printf("rebuild with a hung page: %.3f s; longest stall of the windows over 6 s of "
                "ticks: %.3f s\n",
                rebuild, stall);
    RecordProperty("hung_rebuild_s", std::to_string(rebuild));
    RecordProperty("hung_stall_s", std::to_string(stall));
    EXPECT_LT(rebuild, 2.5);
    EXPECT_LT(stall, 2.5);

    // A window whose loading flag cannot be read is listed as loading; the others as
    // ever.
    p.form().RefreshList();
    const auto rows = p.shown();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "Plain page");
    EXPECT_EQ(rows[0].sub[4], web.url("/plain.html"));
    EXPECT_EQ(rows[1].text, "busy");
}

TEST_F(ProgramE2e, AHungPageIsListedAgainOnceItIsFreed)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/plain.html"));
    ASSERT_TRUE(p.settle(1));
    // This page's script spins once, from 300 ms after it loaded.
    p.module().OpenSiteWindow(web.url("/hang.html"));
    RealProgram::pump(1000ms);
    const double rebuild = timed([&] { p.form().RefreshList(); });
    EXPECT_LT(rebuild, 2.5);
    ASSERT_TRUE(p.settle(2));
    EXPECT_EQ(p.shown()[1].text, "Hang");
    EXPECT_EQ(p.shown()[1].sub[4], web.url("/hang.html"));
}

TEST_F(ProgramE2e, ABrowserKilledInTheMiddleOfACommandLeavesTheProgramResponsive)
{
    RealProgram p;
    for (const char* page : {"/plain.html", "/a.html", "/spin.html"})
        p.module().OpenSiteWindow(web.url(page));
    ASSERT_TRUE(p.refreshUntil([&] {
        const auto rows = p.shown();
        return rows.size() == 3 && rows[0].text == "Plain page" && rows[1].text == "A page";
    }));
    // The third page hangs. How long one cascade takes depends on what the list has
    // already read of the pages, so the cascade is chosen again and again until the kill
    // has happened: it lands inside one of them, and the one it lands in is the longest.
    RealProgram::pump(1000ms);
    const int pid = p.browser().browserProcessId();
    ASSERT_GT(pid, 0);
    static constexpr auto kKillAfter = 400ms;
    std::atomic<bool> killed{false};
    std::thread killer([pid, &killed] {
        std::this_thread::sleep_for(kKillAfter);
        ::kill(pid, SIGKILL);
        killed = true;
    });
    double command = 0;
    int cascades = 0;
    do {
        command = std::max(command, timed([&] { p.choose("menuCascade2"); }));
        ++cascades;
    } while (!killed && cascades < 1000);
    killer.join();
    const double rebuild = timed([&] { p.form().RefreshList(); });
    std::printf("browser killed after %.3f s of %d cascades: the longest %.3f s; the next "
                "rebuild %.3f s\n",
                std::chrono::duration<double>(kKillAfter).count(), cascades, command, rebuild);
    RecordProperty("killed_command_s", std::to_string(command));
    RecordProperty("killed_rebuild_s", std::to_string(rebuild));
    EXPECT_LT(command, 2.0);
    EXPECT_LT(rebuild, 1.0);
    EXPECT_TRUE(p.refreshUntil([&] { return p.shown().empty(); }, 5s));
    EXPECT_TRUE(p.form().isVisible());

    p.module().OpenSiteWindow(web.url("/b.html"));
    ASSERT_TRUE(p.settle(1));
    EXPECT_EQ(p.shown()[0].text, "B page");
    EXPECT_NE(p.browser().browserProcessId(), pid);
}

TEST_F(ProgramE2e, TheShellsTilingArrangesTheDesktopThroughTheWindowManager)
{
    RealProgram p;
    p.module().OpenSiteWindow(web.url("/plain.html"));
    p.module().OpenSiteWindow(web.url("/a.html"));
    ASSERT_TRUE(p.settle(2));

    p.choose("menuTile");
    const auto left = p.x11Frame(chromiumCaption("Plain page"));
    const auto right = p.x11Frame(chromiumCaption("A page"));
    ASSERT_TRUE(left && right);
    const Rect area = p.probe().connection().workArea();
    // Side by side over the work area, whichever comes first.
    const Rect& first = left->left < right->left ? *left : *right;
    const Rect& second = left->left < right->left ? *right : *left;
    EXPECT_EQ(first.left, area.left);
    EXPECT_EQ(first.top, area.top);
    EXPECT_EQ(second.top, area.top);
    EXPECT_EQ(first.height, area.height);
    EXPECT_EQ(first.left + first.width, second.left);
    EXPECT_EQ(second.left + second.width, area.left + area.width);
    // The browser sees the same, and the main window came back from its minimising.
    EXPECT_TRUE(RealProgram::eventually([&] { return rectOf(p.boundsOf(1)) == *left; }))
        << rectOf(p.boundsOf(1));
    EXPECT_FALSE(p.probe().IsIconic(p.form().hWnd()));
}

TEST_F(ProgramE2e, WithoutChromiumTheRealDesktopListsNothingAndSaysSoOnce)
{
    ::setenv("TABULON_CHROMIUM", "/nonexistent/chromium", 1);
    std::ostringstream log;
    auto backend = tabulon::loadBackend(log);
    ::unsetenv("TABULON_CHROMIUM");
    ASSERT_TRUE(dynamic_cast<tabulon::RealDesktop*>(backend.get()));
    const std::string said = log.str();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("Chromium is missing"), std::string::npos) << said;

    RealProgram p(std::move(backend));
    p.choose("mSite(0)");
    RealProgram::pump(300ms);
    p.form().RefreshList();
    EXPECT_TRUE(p.shown().empty());
    EXPECT_TRUE(p.form().isVisible());
    try {
        p.platform().objects.createBrowser();
        ADD_FAILURE() << "a browser was made without Chromium";
    } catch (const automation::Error& error) {
        EXPECT_NE(std::string(error.what()).find("Chromium is missing"), std::string::npos)
            << error.what();
    }
}
