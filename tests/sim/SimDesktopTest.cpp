#include "automation/sim/SimDesktop.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace automation::sim {
namespace {

SimWindow browser(const std::string& id, const std::string& title, const std::string& url)
{
    SimWindow window;
    window.id = id;
    window.title = title;
    window.url = url;
    window.document = std::make_shared<SimDocumentData>();
    return window;
}

std::vector<std::string> ops(const nlohmann::json& calls)
{
    std::vector<std::string> result;
    for (const auto& call : calls)
        result.push_back(call["op"].get<std::string>() + (call.value("failed", false) ? "!" : ""));
    return result;
}

TEST(SimClock, RunsTicksAndActionsInTimeOrderAndNeverInsideTheirOwnTick)
{
    SimClock clock;
    std::vector<std::string> order;
    int depth = 0;
    auto timer = clock.startTimer(2000, [&] {
        order.push_back("tick@" + std::to_string(clock.nowMs()));
        ++depth;
        EXPECT_EQ(depth, 1);
        for (int i = 0; i < 30; ++i) // three seconds of letting events run
            clock.DoEvents();
        --depth;
    });
    clock.schedule(2000, [&] { order.push_back("action@" + std::to_string(clock.nowMs())); });
    clock.schedule(500, [&] { order.push_back("action@" + std::to_string(clock.nowMs())); });

    clock.advance(1999);
    EXPECT_EQ(order, (std::vector<std::string>{"action@500"}));
    clock.advance(1);
    // The tick's own waiting lets 3 s pass; the period it missed is not made up.
    EXPECT_EQ(order, (std::vector<std::string>{"action@500", "action@2000", "tick@2000"}));
    EXPECT_EQ(clock.nowMs(), 5000);
    clock.advance(999);
    EXPECT_EQ(order.size(), 3u);
    clock.advance(1);
    EXPECT_EQ(order.size(), 4u);
    EXPECT_EQ(order.back(), "tick@6000");

    timer.reset();
    clock.advance(10000);
    EXPECT_EQ(order.size(), 4u);
}

class SimDesktopTest : public testing::Test
{
protected:
    SimDesktopTest()
    {
        favorites = std::filesystem::temp_directory_path() /
                    ("tabulon-simfav-" +
                     std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(favorites);
        SimSetup setup;
        setup.folders["Favorites"] = favorites.string();
        desktop = std::make_unique<SimDesktop>(setup);
    }
    ~SimDesktopTest() override { std::filesystem::remove_all(favorites); }

    std::string read(const std::string& name)
    {
        std::ifstream in(favorites / name, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::filesystem::path favorites;
    std::unique_ptr<SimDesktop> desktop;
    Platform platform() { return desktop->platform(); }
};

TEST_F(SimDesktopTest, AnswersTheAddToFavouritesKeysOfTheActiveBrowserAfterItsDelay)
{
    SimWindow page = browser("A", "Frames", "http://a.example/");
    page.document->frames = {{"http://a.example/top", false}, {"http://other.example/", true}};
    page.favorite.delayMs = 300;
    desktop->control().openWindow(page, false);
    WindowManager& windows = desktop->platform().windows;

    windows.AppActivate("Frames - Microsoft Internet Explorer");
    windows.SendKeys("%A{ENTER}{TAB}D3{ENTER}");
    desktop->control().clock().advance(200);
    EXPECT_FALSE(std::filesystem::exists(favorites / "D3.url"));
    desktop->control().clock().advance(100);
    EXPECT_EQ(read("D3.url"), "BASEURL=http://a.example/\r\nBASEURL=http://a.example/top\r\n"
                              "BASEURL=http://other.example/\r\n[InternetShortcut]\r\n"
                              "URL=http://a.example/\r\n");
}

TEST_F(SimDesktopTest, NoFavouriteWhenTheBrowserNeverAnswersOrAnotherWindowIsActive)
{
    SimWindow never = browser("N", "Never", "http://n.example/");
    never.favorite.never = true;
    desktop->control().openWindow(never, false);
    SimWindow other;
    other.id = "calc";
    other.kind = SimKind::Other;
    other.caption = "電卓";
    desktop->control().openWindow(other, false);
    WindowManager& windows = desktop->platform().windows;

    windows.AppActivate("Never - Microsoft Internet Explorer");
    windows.SendKeys("%A{ENTER}D1{ENTER}");
    windows.AppActivate("電卓");
    windows.SendKeys("%A{ENTER}D2{ENTER}");
    desktop->control().clock().advance(60000);
    EXPECT_TRUE(std::filesystem::is_empty(favorites));
}

TEST_F(SimDesktopTest, TopMostWindowsStayInFrontOfActivatedOnes)
{
    desktop->control().openWindow(browser("A", "A", "http://a/"), false);
    SimWindow b = browser("B", "B", "http://b/");
    desktop->control().openWindow(b, false);
    WindowManager& windows = desktop->platform().windows;
    const Hwnd a = desktop->control().find("A")->hwnd;

    windows.SetWindowPos(a, HWND_TOPMOST, 0, 0, 0, 0, 3);
    windows.AppActivate("B - Microsoft Internet Explorer");
    EXPECT_EQ(desktop->control().zorder(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(desktop->control().active(), "B");

    // Leaving the top-most band puts the window above all others that are not in it.
    windows.SetWindowPos(a, HWND_NOTOPMOST, 0, 0, 0, 0, 3);
    EXPECT_FALSE(desktop->control().isTopMost("A"));
    EXPECT_EQ(desktop->control().zorder(), (std::vector<std::string>{"A", "B"}));
}

TEST_F(SimDesktopTest, MinimisingSendsBackAndRestoringBringsBackThePreviousState)
{
    SimWindow big = browser("A", "A", "http://a/");
    big.state = WindowState::Maximized;
    desktop->control().openWindow(big, false);
    desktop->control().openWindow(browser("B", "B", "http://b/"), false);
    WindowManager& windows = desktop->platform().windows;
    const Hwnd a = desktop->control().find("A")->hwnd;

    windows.CloseWindow(a);
    EXPECT_TRUE(windows.IsIconic(a));
    EXPECT_EQ(desktop->control().zorder().back(), "A");
    windows.OpenIcon(a);
    EXPECT_TRUE(windows.IsZoomed(a));
    EXPECT_EQ(desktop->control().active(), "A");
    EXPECT_EQ(desktop->control().zorder().front(), "A");

    // A handle that names no window changes nothing; the call is recorded as failed.
    windows.CloseWindow(999999);
    windows.OpenIcon(0);
    EXPECT_FALSE(windows.IsIconic(999999));
    EXPECT_EQ(ops(desktop->control().takeCalls()),
              (std::vector<std::string>{"CloseWindow", "OpenIcon", "CloseWindow!", "OpenIcon!"}));
}

TEST_F(SimDesktopTest, ActivationNeedsTheExactCaption)
{
    desktop->control().openWindow(browser("A", "Alpha", "http://a/"), false);
    WindowManager& windows = desktop->platform().windows;
    EXPECT_THROW(windows.AppActivate("Alpha"), Error);
    EXPECT_THROW(windows.AppActivate("alpha - Microsoft Internet Explorer"), Error);
    EXPECT_NO_THROW(windows.AppActivate("Alpha - Microsoft Internet Explorer"));
    EXPECT_EQ(ops(desktop->control().takeCalls()),
              (std::vector<std::string>{"AppActivate!", "AppActivate!", "AppActivate"}));
}

TEST_F(SimDesktopTest, AClosedWindowsObjectFailsOnEveryMember)
{
    desktop->control().openWindow(browser("A", "A", "http://a/"), false);
    auto items = platform().objects.createShell()->windows()->items();
    ASSERT_EQ(items.size(), 1u);
    const auto document = items[0]->Document();
    const auto page = document->parentwindow();

    desktop->control().closeWindow("A");
    EXPECT_THROW(items[0]->LocationURL(), Error);
    EXPECT_THROW(items[0]->hWnd(), Error);
    EXPECT_THROW(items[0]->Quit(), Error);
    EXPECT_THROW(document->Title(), Error);
    EXPECT_THROW(page->moveto(1, 1), Error);
    EXPECT_TRUE(platform().objects.createShell()->windows()->items().empty());
}

TEST_F(SimDesktopTest, PageWindowsRoundPositionsHalfToEvenAndLeaveTheMaximisedState)
{
    SimWindow big = browser("A", "A", "http://a/");
    big.state = WindowState::Maximized;
    desktop->control().openWindow(big, false);
    const auto page =
        platform().objects.createShell()->windows()->items()[0]->Document()->parentwindow();

    page->moveto(51.5, 38.4);
    page->resizeto(921.6, 690.5);
    const SimWindow& window = *desktop->control().find("A");
    EXPECT_EQ(window.state, WindowState::Normal);
    EXPECT_EQ(window.bounds, (Rect{52, 38, 922, 690}));
    const auto calls = desktop->control().takeCalls();
    EXPECT_EQ(calls[0]["x"], 51.5);
    EXPECT_EQ(calls[1]["width"], 921.6);
    EXPECT_THROW(page->moveto(1e300, 0), Error);
}

} // namespace
} // namespace automation::sim
