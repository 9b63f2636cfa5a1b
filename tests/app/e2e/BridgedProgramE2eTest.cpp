// The program with the user's own browsers: real Chromium and Firefox ESR carrying the
// extension, their hosts connecting to the program's bridge socket, under the test's
// display with a window manager.
#include "E2eDesktop.h"
#include "RealProgram.h"
#include "app/Form1.h"
#include "automation/bridge/HostManifests.h"
#include "automation/bridged/BridgeHub.h"
#include "automation/bridged/BridgePeer.h"
#include "automation/local/Process.h"
#include "automation/x11/X11Desktop.h"
#include "page/Form2.h"
#include "page/Form7.h"

#include <QImage>
#include <QPushButton>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace std::chrono_literals;
using automation::WindowState;
namespace fs = std::filesystem;

namespace {

// Starts a browser with the extension that dies with the test; its output goes to a
// log in the home. Chromium loads the unpacked folder and reads the host manifest in
// its profile; Firefox side-loads the package and reads the manifest in the home.
automation::Process startBridged(bool firefox, const std::string& home, const std::string& url)
{
    using namespace automation::bridge;
    const std::string profile = home + (firefox ? "/firefox-bridged" : "/chromium-bridged");
    fs::remove_all(profile);
    fs::create_directories(profile);
    std::vector<std::string> args;
    if (!firefox) {
        writeHostManifest(profile + "/NativeMessagingHosts/" + kHostName + ".json",
                          chromiumHostManifest(TABULON_BRIDGE_EXE));
        args = {"/usr/lib/chromium/chromium",
                "--test-type",
                "--no-first-run",
                "--no-default-browser-check",
                "--disable-background-networking",
                "--disable-component-update",
                "--disable-sync",
                "--user-data-dir=" + profile,
                std::string("--load-extension=") + TABULON_EXTENSION_DIR};
        if (::geteuid() == 0)
            args.emplace_back("--no-sandbox");
    } else {
        installBrowserBridge(home, TABULON_BRIDGE_EXE);
        fs::create_directories(profile + "/extensions");
        fs::copy_file(TABULON_XPI, profile + "/extensions/" + kFirefoxExtensionId + ".xpi");
        std::ofstream prefs(profile + "/user.js");
        for (const char* pref :
             {R"("xpinstall.signatures.required", false)", R"("extensions.autoDisableScopes", 0)",
              R"("extensions.update.enabled", false)", R"("app.update.disabledForTesting", true)",
              R"("browser.shell.checkDefaultBrowser", false)",
              R"("browser.aboutwelcome.enabled", false)",
              R"("browser.startup.homepage_override.mstone", "ignore")",
              R"("datareporting.policy.dataSubmissionEnabled", false)",
              R"("toolkit.telemetry.reportingpolicy.firstRun", false)",
              R"("browser.tabs.warnOnClose", false)",
              R"("browser.sessionstore.resume_from_crash", false)"})
            prefs << "user_pref(" << pref << ");\n";
        args = {"firefox-esr", "--no-remote", "-profile", profile};
    }
    args.push_back(url);
    const automation::UniqueFd out(
        ::open((profile + ".log").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600));
    automation::SpawnOptions options;
    options.argv = args;
    options.quiet = true;
    if (out)
        options.descriptors = {{1, out.get()}, {2, out.get()}};
    options.parentDeathSignal = SIGKILL;
    return automation::Process::spawn(options);
}

bool listed(RealProgram& p, const std::string& text)
{
    for (const auto& row : p.shown()) {
        if (row.text == text)
            return true;
    }
    return false;
}

// Every window of every bridged browser is in this state, as the browsers report it.
bool allBridgedWindows(RealProgram& p, WindowState state)
{
    auto& hub = p.desktop().bridge();
    hub.pump();
    int windows = 0;
    for (const auto& peer : hub.peers()) {
        for (const auto* tab : peer->model().tabs()) {
            const auto* window = peer->model().window(tab->windowId);
            if (!window || window->state != state)
                return false;
            ++windows;
        }
    }
    return windows > 0;
}

struct BridgedProgramE2e : ::testing::Test
{
    E2eDesktop& web = E2eDesktop::instance();
};

// The only bridged browser's only tab.
struct BridgedTab
{
    automation::bridged::BridgePeer* peer = nullptr;
    std::int64_t tabId = 0;
    std::int64_t windowId = 0;
};

BridgedTab onlyTab(RealProgram& p)
{
    auto& hub = p.desktop().bridge();
    hub.pump();
    for (const auto& peer : hub.peers()) {
        for (const auto* tab : peer->model().tabs())
            return {peer.get(), tab->id, tab->windowId};
    }
    return {};
}

// A page function's answer in the tab's top document.
nlohmann::json runInPage(const BridgedTab& tab, const char* fn)
{
    const auto answer = tab.peer->request("test", "page.run", {{"tabId", tab.tabId}, {"fn", fn}});
    return answer["frames"][0]["result"];
}

struct BridgedCommandsE2e : BridgedProgramE2e, ::testing::WithParamInterface<bool>
{
};

// The same on pages with a frame of another site.
struct BridgedFramePagesE2e : BridgedCommandsE2e
{
};

} // namespace

TEST_F(BridgedProgramE2e, ListsBothBrowsersAndArrangesThemAndOutlivesOneThatQuits)
{
    RealProgram p;
    automation::Process chromium = startBridged(false, web.home(), web.url("/plain.html"));
    automation::Process firefox = startBridged(true, web.home(), web.url("/a.html"));
    ASSERT_TRUE(p.refreshUntil([&] { return listed(p, "Plain page") && listed(p, "A page"); }, 90s))
        << "see the logs in " << web.home();
    EXPECT_EQ(p.desktop().bridge().peers().size(), 2u);

    p.choose("menuMinAll");
    EXPECT_TRUE(
        RealProgram::eventually([&] { return allBridgedWindows(p, WindowState::Minimized); }, 20s));
    p.choose("menuNorm");
    EXPECT_TRUE(
        RealProgram::eventually([&] { return allBridgedWindows(p, WindowState::Normal); }, 20s));

    // Even tiling of the web windows puts the two side by side.
    p.choose("menuTile3");
    ASSERT_TRUE(p.refreshUntil([&] { return p.shown().size() == 2; }));
    const char* shot = std::getenv("TABULON_E2E_SHOT");
    if (shot && *shot) {
        RealProgram::pump(1500ms);
        automation::SpawnOptions options;
        options.argv = {TABULON_XSHOT, shot};
        automation::Process::spawn(options).waitFor(30s);
    }

    // Firefox quits: the program stays responsive and Chromium's window stays listed.
    firefox.terminate(10s);
    EXPECT_TRUE(p.refreshUntil([&] { return !listed(p, "A page"); }, 20s));
    EXPECT_LT(RealProgram::longestStall(2s), 1.0);
    EXPECT_TRUE(listed(p, "Plain page"));

    p.choose("menuCloseAll");
    EXPECT_TRUE(p.refreshUntil([&] { return p.shown().empty(); }, 20s));
    chromium.terminate(10s);
}

// Chooses the cascade again and again until stop() is done on another thread after
// a while, so that it lands inside one of them; the longest one, in seconds.
double cascadeUntilDone(RealProgram& p, const std::function<void()>& stop)
{
    std::atomic<bool> done{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(300ms);
        stop();
        done = true;
    });
    double longest = 0;
    int cascades = 0;
    do {
        const auto start = std::chrono::steady_clock::now();
        p.choose("menuCascade2");
        longest = std::max(
            longest,
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    } while (!done && ++cascades < 1000);
    stopper.join();
    return longest;
}

TEST_F(BridgedProgramE2e, AConnectionOrABrowserLostMidCommandLeavesTheOthersListed)
{
    RealProgram p;
    automation::Process chromium = startBridged(false, web.home(), web.url("/plain.html"));
    automation::Process firefox = startBridged(true, web.home(), web.url("/a.html"));
    ASSERT_TRUE(p.refreshUntil([&] { return listed(p, "Plain page") && listed(p, "A page"); }, 90s))
        << "see the logs in " << web.home();

    // Firefox's host ends while Firefox runs on, as when its extension is turned off: the
    // program goes on with Chromium, and the extension, still there, connects again.
    const double lostConnection = cascadeUntilDone(p, [&] {
        const std::string kill = "pkill -KILL -P " + std::to_string(firefox.pid()) + " -f " +
                                 fs::path(TABULON_BRIDGE_EXE).filename().string();
        EXPECT_EQ(std::system(kill.c_str()), 0);
    });
    EXPECT_LT(lostConnection, 2.0);
    EXPECT_LT(RealProgram::longestStall(2s), 1.0);
    EXPECT_TRUE(listed(p, "Plain page"));
    EXPECT_TRUE(p.refreshUntil([&] { return listed(p, "Plain page") && listed(p, "A page"); }, 60s))
        << "the extension did not connect again";

    // Chromium is killed outright: its window leaves the list, Firefox's stays.
    const double lostBrowser = cascadeUntilDone(p, [&] { chromium.signal(SIGKILL); });
    EXPECT_LT(lostBrowser, 2.0);
    EXPECT_TRUE(p.refreshUntil([&] { return !listed(p, "Plain page"); }, 20s));
    EXPECT_LT(RealProgram::longestStall(2s), 1.0);
    EXPECT_TRUE(listed(p, "A page"));
    std::printf("the longest cascade: %.3f s with a connection lost, %.3f s with a browser "
                "killed\n",
                lostConnection, lostBrowser);
    firefox.terminate(10s);
}

TEST_P(BridgedCommandsE2e, TheSelectedRowsCommandsActOnABridgedTab)
{
    // Red text, green links, blue active links, grey visited ones, a yellow background,
    // the background picture taken off (stored 0x00BBGGRR, plus one).
    RealProgram p({{"tabulon.ini", std::string("[HTMColor]\r\nFG=256\r\nBG=65536\r\nLG=65281\r\n"
                                               "AL=16711681\r\nVL=8421505\r\nGR=0\r\n")}});
    automation::Process browser = startBridged(GetParam(), web.home(), web.url("/a.html"));
    ASSERT_TRUE(p.refreshUntil([&] { return listed(p, "A page"); }, 90s))
        << "see the logs in " << web.home();
    const BridgedTab tab = onlyTab(p);
    ASSERT_TRUE(tab.peer);
    p.form().selectRow(1);

    // Bring to front: 5 % of the screen from the top-left corner, 90 % of it in size.
    p.choose("menuActivate");
    const auto screen = p.platform().windows.screen();
    const int width = static_cast<int>(screen.widthTwips) / screen.twipsPerPixelX;
    const int height = static_cast<int>(screen.heightTwips) / screen.twipsPerPixelY;
    const automation::Rect want{static_cast<int>(width * 0.05), static_cast<int>(height * 0.05),
                                static_cast<int>(width * 0.9), static_cast<int>(height * 0.9)};
    EXPECT_TRUE(RealProgram::eventually(
        [&] {
            p.desktop().bridge().pump();
            const auto* window = tab.peer->model().window(tab.windowId);
            return window && window->state == WindowState::Normal && window->bounds == want;
        },
        10s));
    // The browser's X11 window is the one activated.
    const automation::Hwnd x11 =
        p.probe().findByCaption(GetParam() ? "A page — Mozilla Firefox" : "A page - Chromium");
    ASSERT_NE(x11, 0);
    EXPECT_TRUE(p.refreshUntil(
        [&] { return p.probe().connection().activeWindow() == static_cast<std::uint32_t>(x11); },
        5s));

    // The report reads the page through the extension. (The rebuilds above took the
    // selection with the rows they replaced.)
    p.form().selectRow(1);
    p.choose("menuInfo");
    tabulon::Form7* form7 = p.form().form7IfLoaded();
    ASSERT_TRUE(form7);
    const std::string report = form7->reportText();
    for (const std::string& line : std::vector<std::string>{
             "サイトの名称:  A page\r\n", "URL:　　　       " + web.url("/a.html") + "\r\n\r\n",
             "image: 1\r\n", "    URL(0)= " + web.url("/pic.png") + "\r\n",
             "        file size = " + std::to_string(web.page("/pic.png").size()) + "\r\n",
             "link: 2\r\n", "   title(0)= bee <b>bold</b>\r\n",
             "      url(1)= " + web.url("/plain.html") + "\r\n\r\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\nin\n" << report;
    form7->hide();

    // The base colours: the legacy properties, and a user sheet the page shows.
    p.choose("menuCHGcolor");
    const auto colors = runInPage(tab, "colors");
    EXPECT_EQ(colors.value("fgColor", ""), "#ff0000") << colors.dump();
    EXPECT_EQ(colors.value("bgColor", ""), "#ffff00") << colors.dump();
    EXPECT_EQ(runInPage(tab, "background"), "");

    // The text size goes through the browser's own zoom for the tab.
    const auto zoom = [&] {
        return tab.peer->request("test", "tab.getZoom", {{"tabId", tab.tabId}})
            .value("factor", 0.0);
    };
    p.choose("fontp");
    tabulon::Form2* form2 = p.form().form2IfLoaded();
    ASSERT_TRUE(form2);
    form2->Command1->click();
    EXPECT_TRUE(RealProgram::eventually([&] { return std::abs(zoom() - 1.1) < 0.01; })) << zoom();
    // "+" five times in all: the page is shown at the factor the dialog shows (1.61).
    for (int i = 0; i < 4; ++i)
        form2->Command1->click();
    EXPECT_TRUE(RealProgram::eventually([&] { return std::abs(zoom() - 1.61) < 0.01; })) << zoom();
    form2->Command3->click();
    EXPECT_TRUE(RealProgram::eventually([&] { return std::abs(zoom() - 1.0) < 0.01; })) << zoom();
    form2->hide();

    // Closing the tab closes its window: the list empties, the program goes on.
    p.choose("menuClose");
    EXPECT_TRUE(p.refreshUntil([&] { return !listed(p, "A page"); }, 20s));
    EXPECT_TRUE(p.form().isVisible());
    browser.terminate(10s);
}

// The screen, taken with the test display's own screenshot tool.
QImage screenshot(const std::string& file)
{
    automation::SpawnOptions options;
    options.argv = {TABULON_XSHOT, file};
    automation::Process::spawn(options).waitFor(30s);
    return QImage(QString::fromStdString(file));
}

// Counts of the pixels of a part of the screen, by colour.
struct Pixels
{
    int total = 0;
    std::map<QRgb, int> count;
    int of(QRgb rgb) const
    {
        const auto it = count.find(rgb | 0xFF000000u);
        return it == count.end() ? 0 : it->second;
    }
    int where(const std::function<bool(QRgb)>& holds) const
    {
        int n = 0;
        for (const auto& [rgb, times] : count)
            n += holds(rgb) ? times : 0;
        return n;
    }
};

Pixels pixelsIn(const QImage& shot, const automation::Rect& area)
{
    Pixels pixels;
    for (int y = area.top; y < area.top + area.height; ++y) {
        for (int x = area.left; x < area.left + area.width; ++x) {
            if (!shot.valid(x, y))
                continue;
            ++pixels.total;
            ++pixels.count[shot.pixel(x, y) | 0xFF000000u];
        }
    }
    return pixels;
}

// The page's part of a window: below the first line of the window that is mostly of
// the colour, inside the window's edges.
automation::Rect pageArea(const QImage& shot, const automation::Rect& window, QRgb colour)
{
    for (int y = window.top; y < window.top + window.height; ++y) {
        const Pixels line = pixelsIn(shot, {window.left, y, window.width, 1});
        if (line.of(colour) * 2 > line.total)
            return {window.left + 8, y, window.width - 16, window.top + window.height - 8 - y};
    }
    return {};
}

TEST_P(BridgedFramePagesE2e, BaseColoursShowOnAPageThatStylesItself)
{
    // Red text, green links, a yellow background, no background picture.
    RealProgram p({{"tabulon.ini", std::string("[HTMColor]\r\nFG=256\r\nBG=65536\r\nLG=65281\r\n"
                                               "AL=16711681\r\nVL=8421505\r\nGR=0\r\n")}});
    automation::Process browser = startBridged(GetParam(), web.home(), web.url("/styled.html"));
    ASSERT_TRUE(p.refreshUntil([&] { return listed(p, "Styled"); }, 90s))
        << "see the logs in " << web.home();
    const BridgedTab tab = onlyTab(p);
    ASSERT_TRUE(tab.peer);
    p.form().selectRow(1);
    p.choose("menuActivate");
    RealProgram::pump(1500ms);
    const auto* window = tab.peer->model().window(tab.windowId);
    ASSERT_TRUE(window);
    const automation::Rect bounds = window->bounds;
    const std::string folder = web.home() + (GetParam() ? "/firefox-" : "/chromium-");
    const QImage before = screenshot(folder + "before.png");

    p.form().selectRow(1);
    p.choose("menuCHGcolor");
    RealProgram::pump(1000ms);
    const QImage after = screenshot(folder + "after.png");
    const QRgb yellow = qRgb(0xFF, 0xFF, 0x00);
    const automation::Rect page = pageArea(after, bounds, yellow);
    ASSERT_GT(page.height, 200) << "no page in the chosen background";
    const Pixels was = pixelsIn(before, page);
    const Pixels is = pixelsIn(after, page);
    // The paragraph whose grey background the page holds with !important.
    const QRgb grey = qRgb(0xDD, 0xDD, 0xDD);
    EXPECT_GT(was.of(grey), 100);
    EXPECT_EQ(was.of(yellow), 0);
    EXPECT_EQ(is.of(grey), 0);
    EXPECT_GT(is.of(yellow), is.total / 2);
    // Text and links in the chosen colours (their edges blend with the background).
    EXPECT_GT(is.of(qRgb(0xFF, 0x00, 0x00)), 20) << "no text in the chosen colour";
    EXPECT_GT(is.where([](QRgb c) { return qGreen(c) > 160 && qRed(c) < 96 && qBlue(c) < 96; }), 5)
        << "no link in the chosen colour";
    std::printf("of %d pixels of the page: yellow %d after; the page's own grey %d before, %d "
                "after\n",
                is.total, is.of(yellow), was.of(grey), is.of(grey));
    browser.terminate(10s);
}

TEST_P(BridgedFramePagesE2e, FramesOfABridgedTabOpenAsWindowsOfTheirOwn)
{
    RealProgram p;
    automation::Process browser = startBridged(GetParam(), web.home(), web.url("/frameset.html"));
    std::vector<tabulon::ListRow> rows;
    ASSERT_TRUE(p.refreshUntil(
        [&] {
            rows = p.shown();
            return rows.size() == 1 && rows[0].text == "Frame set" && rows[0].sub[3] == "2";
        },
        90s))
        << "see the logs in " << web.home() << "; rows: " << rows.size() << " "
        << (rows.empty() ? "" : rows[0].text + " frames " + rows[0].sub[3]);
    p.form().selectRow(1);
    p.choose("menuFrame");
    std::vector<std::string> urls;
    EXPECT_TRUE(p.refreshUntil(
        [&] {
            urls.clear();
            for (const auto& row : p.shown())
                urls.push_back(row.sub[4]);
            std::sort(urls.begin(), urls.end());
            // A window just opened shows its address once it has loaded.
            return urls.size() == 3 && !urls[0].empty();
        },
        30s));
    std::vector<std::string> want{web.url("/frameset.html"), web.url("/a.html"),
                                  web.url("/b.html", true)};
    std::sort(want.begin(), want.end());
    EXPECT_EQ(urls, want);
    // The favourite file the browser's answer wrote was read and deleted.
    const std::string favorites =
        p.platform().objects.createScriptingShell()->SpecialFolders("Favorites");
    EXPECT_TRUE(!std::filesystem::exists(favorites) || std::filesystem::is_empty(favorites));
    p.choose("menuCloseAll");
    EXPECT_TRUE(p.refreshUntil([&] { return p.shown().empty(); }, 20s));
    browser.terminate(10s);
}

INSTANTIATE_TEST_SUITE_P(Browsers, BridgedCommandsE2e, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& browser) {
                             return browser.param ? "Firefox" : "Chromium";
                         });
INSTANTIATE_TEST_SUITE_P(Browsers, BridgedFramePagesE2e, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& browser) {
                             return browser.param ? "Firefox" : "Chromium";
                         });

// Run by hand: the cost of the list and of two commands with 20 tabs in each bridged
// browser, beside 20 tabs of the program's own Chromium over the DevTools protocol.
//   ./build/tests/app/tabulon_tests_program_e2e --gtest_also_run_disabled_tests
//       --gtest_filter='*DISABLED_TwentyTabs*'
TEST_F(BridgedProgramE2e, DISABLED_TwentyTabsPerBrowserBridgedAndOverDevTools)
{
    constexpr int kTabs = 20;
    constexpr int kTicks = 20;
    const auto seconds = [](const std::function<void()>& work) {
        const auto start = std::chrono::steady_clock::now();
        work();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    const auto url = [&](int i) {
        return web.url(i % 2 ? "/a.html" : "/plain.html") + "#" + std::to_string(i);
    };
    const auto measure = [&](RealProgram& p, const char* what,
                             const std::function<std::int64_t()>& roundTrips) {
        double list = 0;
        const std::int64_t before = roundTrips();
        for (int i = 0; i < kTicks; ++i) {
            list += seconds([&] { p.form().RefreshList(); });
            RealProgram::pump(100ms);
        }
        const double perTick = static_cast<double>(roundTrips() - before) / kTicks;
        p.form().selectRow(kTabs);
        const double front = seconds([&] { p.choose("menuActivate"); });
        const double tile = seconds([&] { p.choose("menuTile3"); });
        std::printf("%-18s rebuild %.1f ms, %.1f round trips per tick; bring to front %.0f ms; "
                    "tile %d %.0f ms\n",
                    what, 1000 * list / kTicks, perTick, 1000 * front, kTabs, 1000 * tile);
    };

    {
        RealProgram p;
        for (int i = 0; i < kTabs; ++i)
            p.module().OpenSiteWindow(url(i));
        ASSERT_TRUE(p.settle(kTabs));
        measure(p, "DevTools Chromium", [&] { return p.browser().roundTrips(); });
    }
    for (const bool firefox : {false, true}) {
        RealProgram p;
        const std::string first = url(0);
        automation::Process browser = startBridged(firefox, web.home(), first);
        ASSERT_TRUE(p.refreshUntil([&] { return p.shown().size() == 1; }, 90s));
        const BridgedTab tab = onlyTab(p);
        for (int i = 1; i < kTabs; ++i)
            tab.peer->request("test", "window.create", {{"url", url(i)}});
        ASSERT_TRUE(p.refreshUntil([&] { return p.shown().size() == kTabs; }, 60s));
        RealProgram::pump(2s);
        measure(p, firefox ? "bridged Firefox" : "bridged Chromium",
                [&] { return tab.peer->roundTrips(); });
        browser.terminate(10s);
    }
}
