#include "automation/x11/X11Desktop.h"

#include "TestClient.h"
#include "TestDisplay.h"
#include "automation/Error.h"
#include "automation/WindowBatch.h"
#include "automation/x11/TileLayout.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <optional>

namespace automation::x11 {
namespace {

using namespace std::chrono_literals;
using test::display;
using test::TestClient;

Hwnd h(std::uint32_t window)
{
    return static_cast<Hwnd>(window);
}

// The program's main window as the backend sees it: only its X11 id matters here.
class FakeHost : public HostWindow
{
public:
    explicit FakeHost(std::uint64_t id) : m_id(id) {}
    std::uint64_t nativeId() const override { return m_id; }
    std::string caption() const override { return "Tabulon"; }
    bool isShown() const override { return true; }
    WindowState state() const override { return WindowState::Normal; }
    void setState(WindowState) override {}
    Rect frameBounds() const override { return {}; }
    void bringForward() override {}

private:
    std::uint64_t m_id;
};

// Sorted by place, so layouts compare whatever the stacking order was.
std::vector<Rect> sorted(std::vector<Rect> rects)
{
    std::sort(rects.begin(), rects.end(), [](const Rect& a, const Rect& b) {
        return std::pair(a.top, a.left) < std::pair(b.top, b.left);
    });
    return rects;
}

TEST(X11Connect, AMissingDisplayIsReportedToTheCaller)
{
    const char* saved = std::getenv("DISPLAY");
    const std::string previous = saved ? saved : "";
    unsetenv("DISPLAY");
    const auto none = X11Desktop::connect();
    if (!previous.empty())
        setenv("DISPLAY", previous.c_str(), 1);
    EXPECT_EQ(none.desktop, nullptr);
    EXPECT_NE(none.error.find("DISPLAY"), std::string::npos) << none.error;

    const auto bad = X11Desktop::connect("no display here");
    EXPECT_EQ(bad.desktop, nullptr);
    EXPECT_NE(bad.error.find("no display here"), std::string::npos) << bad.error;
}

class X11DesktopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!display().running() && !display().start())
            GTEST_SKIP() << display().reason();
        client = std::make_unique<TestClient>();
        ASSERT_TRUE(client->ok());
        // An earlier test of this process may have left windows; they go with their client.
        ASSERT_TRUE(client->waitFor([&] { return client->managedCount() == 0; }));
        auto connected = X11Desktop::connect(display().name());
        ASSERT_NE(connected.desktop, nullptr) << connected.error;
        desktop = std::move(connected.desktop);
    }

    std::unique_ptr<TestClient> client;
    std::unique_ptr<X11Desktop> desktop;
};

TEST_F(X11DesktopTest, AMissingWindowManagerIsReportedToTheCaller)
{
    display().stopWindowManager();
    const auto connected = X11Desktop::connect(display().name());
    EXPECT_EQ(connected.desktop, nullptr);
    EXPECT_NE(connected.error.find("window manager"), std::string::npos) << connected.error;
    EXPECT_TRUE(display().startWindowManager());
}

TEST_F(X11DesktopTest, MinimiseAndRestoreKeepTheMaximisedState)
{
    const std::uint32_t w = client->open("状態", 400, 300);
    ASSERT_NE(w, 0u);
    EXPECT_FALSE(desktop->IsZoomed(h(w)));
    EXPECT_FALSE(desktop->IsIconic(h(w)));

    client->maximize(w);
    EXPECT_TRUE(desktop->IsZoomed(h(w)));

    // The calls return once the window manager has done it: reads right after agree.
    desktop->CloseWindow(h(w));
    EXPECT_TRUE(client->iconic(w));
    EXPECT_TRUE(desktop->IsIconic(h(w)));
    EXPECT_FALSE(desktop->IsZoomed(h(w)));

    desktop->OpenIcon(h(w));
    EXPECT_FALSE(client->iconic(w));
    EXPECT_FALSE(desktop->IsIconic(h(w)));
    EXPECT_TRUE(desktop->IsZoomed(h(w)));
    EXPECT_EQ(client->activeWindow(), w);

    // On a window that is not minimised it only activates.
    const std::uint32_t other = client->open("別の窓");
    ASSERT_TRUE(client->waitFor([&] { return client->activeWindow() == other; }));
    desktop->OpenIcon(h(w));
    EXPECT_EQ(client->activeWindow(), w);
    EXPECT_TRUE(desktop->IsZoomed(h(w)));
}

TEST_F(X11DesktopTest, AlwaysOnTopBeforeAndAfterTheWindowIsMapped)
{
    const unsigned zOnly = SWP_NOMOVE | SWP_NOSIZE;
    const std::uint32_t main = client->create("Tabulon", 300, 200);
    desktop->SetWindowPos(h(main), HWND_TOPMOST, 0, 0, 0, 0, zOnly);
    EXPECT_TRUE(client->hasState(main, "_NET_WM_STATE_ABOVE"));
    ASSERT_TRUE(client->map(main));
    EXPECT_TRUE(client->hasState(main, "_NET_WM_STATE_ABOVE"));

    // A window opened later stays below it.
    const std::uint32_t later = client->open("後から");
    ASSERT_NE(later, 0u);
    auto order = client->stacking();
    EXPECT_LT(std::find(order.begin(), order.end(), later) - order.begin(),
              std::find(order.begin(), order.end(), main) - order.begin());

    desktop->SetWindowPos(h(main), HWND_NOTOPMOST, 0, 0, 0, 0, zOnly);
    EXPECT_FALSE(client->hasState(main, "_NET_WM_STATE_ABOVE"));
    desktop->SetWindowPos(h(main), HWND_TOPMOST, 0, 0, 0, 0, zOnly);
    EXPECT_TRUE(client->hasState(main, "_NET_WM_STATE_ABOVE"));
}

TEST_F(X11DesktopTest, SetWindowPosPlacesTheOuterFrame)
{
    const std::uint32_t w = client->open("位置", 300, 200);
    client->maximize(w);
    desktop->SetWindowPos(h(w), HWND_NOTOPMOST, 50, 60, 500, 400, 0);
    EXPECT_EQ(client->frame(w), (Rect{50, 60, 500, 400}));
    EXPECT_FALSE(desktop->IsZoomed(h(w)));
    EXPECT_EQ(desktop->frameBounds(h(w)), client->frame(w));

    desktop->SetWindowPos(h(w), HWND_NOTOPMOST, 70, 80, 1, 1, SWP_NOSIZE);
    EXPECT_EQ(client->frame(w), (Rect{70, 80, 500, 400}));
    desktop->SetWindowPos(h(w), HWND_NOTOPMOST, 1, 1, 320, 240, SWP_NOMOVE);
    EXPECT_EQ(client->frame(w), (Rect{70, 80, 320, 240}));

    // Not mapped yet: no frame, the window itself is placed.
    const std::uint32_t bare = client->create("未表示", 100, 100);
    desktop->SetWindowPos(h(bare), HWND_NOTOPMOST, 5, 6, 210, 110, 0);
    EXPECT_EQ(client->frame(bare), (Rect{5, 6, 210, 110}));
}

TEST_F(X11DesktopTest, AppActivateMatchesTheWholeCaption)
{
    const std::uint32_t page = client->open("ページ A - Chromium");
    const std::uint32_t latin = client->create("Caf\xE9", 300, 200, TestClient::Type::Normal, true);
    ASSERT_TRUE(client->map(latin));
    const std::uint32_t hidden = client->open("別のページ");
    client->minimize(hidden);

    desktop->AppActivate("ページ A - Chromium");
    EXPECT_EQ(client->activeWindow(), page);
    desktop->AppActivate("Café");
    EXPECT_EQ(client->activeWindow(), latin);
    EXPECT_EQ(desktop->findByCaption("Café"), h(latin));
    // A minimised window comes back when it is activated.
    desktop->AppActivate("別のページ");
    EXPECT_EQ(client->activeWindow(), hidden);
    EXPECT_FALSE(client->iconic(hidden));

    try {
        desktop->AppActivate("ページ A");
        ADD_FAILURE() << "a part of a caption activated a window";
    } catch (const Error& error) {
        EXPECT_EQ(error.member(), "AppActivate");
    }
    EXPECT_EQ(client->activeWindow(), hidden);
}

TEST_F(X11DesktopTest, ScreenInTwipsFollowsTheResolution)
{
    ScreenMetrics metrics = desktop->screen();
    EXPECT_EQ(metrics.twipsPerPixelX, 15);
    EXPECT_EQ(metrics.twipsPerPixelY, 15);
    EXPECT_EQ(metrics.widthTwips, 1280 * 15);
    EXPECT_EQ(metrics.heightTwips, 800 * 15);

    client->setResource("Xcursor.size:\t24\nXft.dpi:\t120\n");
    metrics = desktop->screen();
    client->setResource("");
    EXPECT_EQ(metrics.twipsPerPixelX, 12);
    EXPECT_EQ(metrics.widthTwips, 1280 * 12);
}

TEST_F(X11DesktopTest, ArrangementsTileWithinTheWorkAreaFramesIncluded)
{
    const std::uint32_t dock = client->create("パネル", 1280, 40, TestClient::Type::Dock);
    client->reserveBottom(dock, 40);
    ASSERT_TRUE(client->map(dock));
    ASSERT_TRUE(client->waitFor([&] { return client->workArea().height == 760; }));
    const Rect area = client->workArea();
    const Rect dockFrame = client->frame(dock);

    const std::uint32_t a = client->open("A", 200, 150);
    const std::uint32_t b = client->open("B", 500, 300);
    const std::uint32_t c = client->open("C", 350, 400);
    client->maximize(b);
    const std::uint32_t small = client->open("最小化");
    client->minimize(small);
    const Rect smallFrame = client->frame(small);
    ASSERT_GT(client->titleBar(a), 0);

    const auto frames = [&] {
        return std::vector<Rect>{client->frame(a), client->frame(b), client->frame(c)};
    };
    const auto untouched = [&] {
        EXPECT_TRUE(client->iconic(small));
        EXPECT_EQ(client->frame(small), smallFrame);
        EXPECT_EQ(client->frame(dock), dockFrame);
    };

    desktop->TileVertically();
    EXPECT_EQ(sorted(frames()), sorted(layout::tile(area, 3, true)));
    EXPECT_FALSE(desktop->IsZoomed(h(b)));
    untouched();

    desktop->TileHorizontally();
    EXPECT_EQ(sorted(frames()), sorted(layout::tile(area, 3, false)));
    untouched();

    // Cascade: the front window ends lowest and rightmost, each a title bar further.
    desktop->CascadeWindows();
    const int step = client->titleBar(a);
    std::vector<std::uint32_t> order = client->stacking();
    std::erase_if(order, [&](std::uint32_t w) { return w != a && w != b && w != c; });
    ASSERT_EQ(order.size(), 3u);
    for (std::size_t fromBack = 0; fromBack < order.size(); ++fromBack) {
        const int offset = step * static_cast<int>(fromBack);
        EXPECT_EQ(client->frame(order[fromBack]), (Rect{area.left + offset, area.top + offset,
                                                        area.width * 3 / 4, area.height * 3 / 4}));
    }
    untouched();

    desktop->MinimizeAll();
    EXPECT_TRUE(client->iconic(a));
    EXPECT_TRUE(client->iconic(b));
    EXPECT_TRUE(client->iconic(c));
    EXPECT_FALSE(client->iconic(dock));
}

TEST_F(X11DesktopTest, ArrangementsCanLeaveTheMainWindowWhereItIs)
{
    const std::uint32_t main = client->open("Tabulon", 320, 240);
    const std::uint32_t other = client->open("他のプログラム");
    FakeHost host(main);
    EXPECT_EQ(desktop->attachMainWindow(host), h(main));
    const Rect before = client->frame(main);

    desktop->setArrangeLeavesMainWindow(true);
    desktop->TileHorizontally();
    EXPECT_EQ(client->frame(main), before);
    EXPECT_EQ(client->frame(other), client->workArea());

    // Minimising everything takes the main window too.
    desktop->MinimizeAll();
    EXPECT_TRUE(client->iconic(main));
    EXPECT_TRUE(client->iconic(other));
}

// A window destroyed before the window manager took it off its lists: every call meets
// a listed window that is gone, skips it and goes on with the living ones.
TEST_F(X11DesktopTest, AWindowGoneMidCommandIsSkipped)
{
    const std::uint32_t gone = client->open("消える窓");
    const std::uint32_t stays = client->open("残る窓");
    client->destroy(gone);
    ASSERT_TRUE(client->waitFor([&] { return client->managedCount() == 1; }));
    client->writeClientLists({stays, gone});

    EXPECT_FALSE(desktop->IsZoomed(h(gone)));
    EXPECT_FALSE(desktop->IsIconic(h(gone)));
    desktop->CloseWindow(h(gone));
    desktop->OpenIcon(h(gone));
    desktop->SetWindowPos(h(gone), HWND_TOPMOST, 1, 2, 300, 300, 0);
    // The living window alone is tiled: it takes the whole work area.
    desktop->TileHorizontally();
    EXPECT_EQ(client->frame(stays), client->workArea());
    desktop->CascadeWindows();
    EXPECT_THROW(desktop->AppActivate("消える窓"), Error);
    desktop->AppActivate("残る窓");
    EXPECT_EQ(client->activeWindow(), stays);
    desktop->MinimizeAll();
    EXPECT_TRUE(client->iconic(stays));
}

// Without a window manager nothing answers: each call waits its short time, no more.
TEST_F(X11DesktopTest, AWindowManagerThatIsGoneCostsOneShortWaitPerCall)
{
    const std::uint32_t w = client->open("待つ窓");
    desktop->setSettleTimeout(100ms);
    display().stopWindowManager();

    const auto start = std::chrono::steady_clock::now();
    desktop->CloseWindow(h(w));
    desktop->OpenIcon(h(w));
    desktop->SetWindowPos(h(w), HWND_TOPMOST, 10, 10, 300, 300, 0);
    desktop->TileVertically();
    desktop->MinimizeAll();
    desktop->AppActivate("待つ窓");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_FALSE(desktop->IsIconic(h(w)));
}

// Twenty windows moved in one batch: every one lands where asked, maximised ones
// included, and the desktop waits once for all of them.
TEST_F(X11DesktopTest, ABatchOfMovesLandsEveryWindowWithOneWait)
{
    constexpr int kWindows = 20;
    std::vector<std::uint32_t> windows;
    std::vector<Rect> wanted;
    for (int i = 0; i < kWindows; ++i) {
        windows.push_back(client->open("窓 " + std::to_string(i), 200 + i, 150));
        ASSERT_NE(windows.back(), 0u);
        wanted.push_back(Rect{(i % 5) * 250, (i / 5) * 190, 240 - i, 180});
    }
    client->maximize(windows[3]);
    client->maximize(windows[17]);
    ASSERT_TRUE(client->waitFor([&] { return desktop->IsZoomed(h(windows[17])); }));
    // On a loaded machine the window manager takes its time over twenty windows; the
    // wait ends as soon as every one has landed.
    desktop->setSettleTimeout(5s);

    const int waits = desktop->waits();
    {
        WindowBatch batch(*desktop);
        for (int i = 0; i < kWindows; ++i) {
            const auto index = static_cast<std::size_t>(i);
            const Rect& to = wanted[index];
            desktop->SetWindowPos(h(windows[index]), HWND_NOTOPMOST, to.left, to.top, to.width,
                                  to.height, 0);
        }
        // A batch inside the batch waits for nothing of its own.
        {
            WindowBatch inner(*desktop);
            desktop->SetWindowPos(h(windows[0]), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        }
        EXPECT_EQ(desktop->waits(), waits);
    }
    EXPECT_EQ(desktop->waits(), waits + 1);
    EXPECT_EQ(desktop->waitsTimedOut(), 0);
    for (std::size_t i = 0; i < windows.size(); ++i)
        EXPECT_EQ(client->frame(windows[i]), wanted[i]) << "window " << i;
    EXPECT_FALSE(desktop->IsZoomed(h(windows[3])));
    EXPECT_TRUE(client->hasState(windows[0], "_NET_WM_STATE_ABOVE"));

    // Every call outside a batch is a batch of its own.
    desktop->SetWindowPos(h(windows[1]), HWND_NOTOPMOST, 5, 5, 300, 200, 0);
    EXPECT_EQ(desktop->waits(), waits + 2);
    EXPECT_EQ(client->frame(windows[1]), (Rect{5, 5, 300, 200}));
}

// Minimised and restored within one batch, each window ends as its last call left it;
// only the window restored last must end active, and nothing waits for what the batch
// itself undid.
TEST_F(X11DesktopTest, ABatchEndsAsItsLastCallsLeaveEachWindow)
{
    const std::uint32_t main = client->open("Tabulon", 320, 240);
    const std::uint32_t first = client->open("最初", 300, 200);
    const std::uint32_t last = client->open("最後", 300, 200);
    client->minimize(first);
    client->minimize(last);
    FakeHost host(main);
    desktop->attachMainWindow(host);
    desktop->setArrangeLeavesMainWindow(true);
    // A time-out would show as one: nothing here may run into the deadline.
    desktop->setSettleTimeout(5s);

    const int waits = desktop->waits();
    {
        WindowBatch batch(*desktop);
        desktop->CloseWindow(h(main));
        desktop->OpenIcon(h(last));
        desktop->OpenIcon(h(first));
        desktop->OpenIcon(h(main));
    }
    EXPECT_EQ(desktop->waits(), waits + 1);
    EXPECT_EQ(desktop->waitsTimedOut(), 0);
    EXPECT_FALSE(client->iconic(main));
    EXPECT_FALSE(client->iconic(first));
    EXPECT_FALSE(client->iconic(last));
    EXPECT_EQ(client->activeWindow(), main);

    // Minimise everything, then bring the main window back, as the command does.
    {
        WindowBatch batch(*desktop);
        desktop->MinimizeAll();
        desktop->CloseWindow(h(main));
        desktop->OpenIcon(h(main));
    }
    EXPECT_EQ(desktop->waits(), waits + 2);
    EXPECT_EQ(desktop->waitsTimedOut(), 0);
    EXPECT_TRUE(client->iconic(first));
    EXPECT_TRUE(client->iconic(last));
    EXPECT_FALSE(client->iconic(main));
    EXPECT_EQ(client->activeWindow(), main);
}

// A window destroyed after its change was sent counts as done: the others are still
// awaited and placed, within the one wait.
TEST_F(X11DesktopTest, AWindowDestroyedMidBatchDoesNotFailTheOthers)
{
    const std::uint32_t a = client->open("A", 200, 150);
    const std::uint32_t gone = client->open("消える", 200, 150);
    const std::uint32_t b = client->open("B", 200, 150);
    desktop->setSettleTimeout(5s);

    const int waits = desktop->waits();
    {
        WindowBatch batch(*desktop);
        desktop->SetWindowPos(h(a), HWND_NOTOPMOST, 10, 20, 300, 200, 0);
        desktop->SetWindowPos(h(gone), HWND_TOPMOST, 400, 20, 300, 200, 0);
        desktop->CloseWindow(h(gone));
        client->destroy(gone);
        desktop->SetWindowPos(h(b), HWND_NOTOPMOST, 800, 20, 300, 200, 0);
        desktop->TileHorizontally();
        desktop->SetWindowPos(h(b), HWND_NOTOPMOST, 800, 300, 320, 240, 0);
    }
    EXPECT_EQ(desktop->waits(), waits + 1);
    EXPECT_EQ(desktop->waitsTimedOut(), 0);
    // The tiling came between: the last placement of each window holds.
    const Rect area = client->workArea();
    EXPECT_EQ(client->frame(b), (Rect{800, 300, 320, 240}));
    EXPECT_EQ(client->frame(a).width, area.width);
}

// With nobody to carry the changes out, a batch still waits once, for one deadline,
// where the same calls one by one wait once each.
TEST_F(X11DesktopTest, ABatchThatIsNeverConfirmedEndsAtItsOneDeadline)
{
    std::vector<std::uint32_t> windows;
    windows.reserve(6);
    for (int i = 0; i < 6; ++i)
        windows.push_back(client->open("無視 " + std::to_string(i)));
    desktop->setSettleTimeout(50ms);
    display().stopWindowManager();

    const auto everything = [&] {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            const Hwnd w = h(windows[i]);
            desktop->SetWindowPos(w, HWND_TOPMOST, static_cast<int>(i) * 20, 0, 300, 300, 0);
            desktop->CloseWindow(w);
            desktop->OpenIcon(w);
        }
        desktop->TileVertically();
        desktop->MinimizeAll();
    };
    const int waits = desktop->waits();
    const int timedOut = desktop->waitsTimedOut();
    {
        WindowBatch batch(*desktop);
        everything();
    }
    EXPECT_EQ(desktop->waits(), waits + 1);
    EXPECT_EQ(desktop->waitsTimedOut(), timedOut + 1);

    everything();
    EXPECT_GT(desktop->waitsTimedOut(), timedOut + 1 + static_cast<int>(windows.size()));
    EXPECT_TRUE(display().startWindowManager());
}

TEST_F(X11DesktopTest, HandlesThatAreNoWindowAreLeftAlone)
{
    const std::uint32_t closed = client->open("閉じた窓");
    client->destroy(closed);
    ASSERT_TRUE(client->waitFor([&] { return client->managedCount() == 0; }));
    const std::uint32_t live = client->open("生きている窓");

    for (const Hwnd hwnd : {Hwnd{0}, Hwnd{-1}, Hwnd{0x40000001}, h(closed)}) {
        EXPECT_FALSE(desktop->IsZoomed(hwnd));
        EXPECT_FALSE(desktop->IsIconic(hwnd));
        EXPECT_EQ(desktop->frameBounds(hwnd), std::nullopt);
        desktop->CloseWindow(hwnd);
        desktop->OpenIcon(hwnd);
        desktop->SetWindowPos(hwnd, HWND_TOPMOST, 0, 0, 10, 10, 0);
    }
    FakeHost noWindow(0);
    EXPECT_EQ(desktop->attachMainWindow(noWindow), 0);

    EXPECT_FALSE(client->iconic(live));
}

TEST_F(X11DesktopTest, TheServerGoingAwayLeavesEveryCallHarmless)
{
    const std::uint32_t w = client->open("最後の窓");
    display().killServer();

    EXPECT_FALSE(desktop->IsZoomed(h(w)));
    EXPECT_FALSE(desktop->IsIconic(h(w)));
    desktop->CloseWindow(h(w));
    desktop->OpenIcon(h(w));
    desktop->SetWindowPos(h(w), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    desktop->MinimizeAll();
    desktop->TileVertically();
    EXPECT_THROW(desktop->AppActivate("最後の窓"), Error);
    EXPECT_EQ(desktop->screen().twipsPerPixelX, 15);
    EXPECT_TRUE(desktop->connection().broken());
}

} // namespace
} // namespace automation::x11
