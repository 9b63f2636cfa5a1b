#include "arrange/Arrange.h"

#include "arrange/AllWindows.h"
#include "tests/SimFixture.h"

#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace tabulon {
namespace {

using automation::WindowState;
using nlohmann::json;

// A browser whose window is minimised by the user right after the program first
// measures it, as can happen between the counting and the moving pass.
class MinimisedAfterCounting : public automation::Browser
{
public:
    MinimisedAfterCounting(std::shared_ptr<automation::Browser> inner,
                           automation::sim::SimControl& desktop, automation::sim::SimWindow& window)
        : m_inner(std::move(inner)), m_desktop(desktop), m_window(window)
    {}

    bool busy() override { return m_inner->busy(); }
    std::string LocationURL() override { return m_inner->LocationURL(); }
    std::string LocationName() override { return m_inner->LocationName(); }
    automation::Hwnd hWnd() override { return m_inner->hWnd(); }
    long Height() override
    {
        const long height = m_inner->Height();
        m_desktop.windowChanged(m_window, WindowState::Minimized);
        return height;
    }
    long Width() override { return m_inner->Width(); }
    std::shared_ptr<automation::HtmlDocument> Document() override { return m_inner->Document(); }
    void put(automation::BrowserProperty property, bool value) override
    {
        m_inner->put(property, value);
    }
    bool get(automation::BrowserProperty property) override { return m_inner->get(property); }
    void Navigate(const std::string& url) override { m_inner->Navigate(url); }
    void Quit() override { m_inner->Quit(); }

private:
    std::shared_ptr<automation::Browser> m_inner;
    automation::sim::SimControl& m_desktop;
    automation::sim::SimWindow& m_window;
};

class ArrangeTest : public ::testing::Test, protected testing::SimFixture
{
protected:
    // Row 2's window gets minimised once it has been measured.
    void minimiseRow2AfterCounting()
    {
        list.setWebWin(2, std::make_shared<MinimisedAfterCounting>(list.WebWin(2), desktop,
                                                                   *desktop.find("B")));
    }

    json moves()
    {
        json result = json::array();
        for (const json& call : calls()) {
            if (call["op"] == "moveto" || call["op"] == "resizeto")
                result.push_back(call);
        }
        return result;
    }
};

TEST_F(ArrangeTest, TilingKeepsTheCellOfAWindowMinimisedAfterTheCount)
{
    openBrowser("A");
    openBrowser("B");
    openBrowser("C");
    rebuild();
    minimiseRow2AfterCounting();

    tileWebWindows(list, platform.windows);

    // Three counted windows make a 2 x 2 grid; C takes the second cell, not the third.
    EXPECT_EQ(moves(), json::parse(R"([
        {"op": "resizeto", "window": "A", "width": 512, "height": 371},
        {"op": "moveto", "window": "A", "x": 0, "y": 0},
        {"op": "resizeto", "window": "C", "width": 512, "height": 371},
        {"op": "moveto", "window": "C", "x": 512, "y": 0}])"));
    EXPECT_EQ(desktop.find("B")->state, WindowState::Minimized);
    EXPECT_EQ(desktop.find("B")->bounds, (automation::Rect{0, 0, 800, 600}));
}

TEST_F(ArrangeTest, CascadeCountsAWindowMinimisedAfterTheCountButDoesNotMoveIt)
{
    openBrowser("A");
    openBrowser("B");
    rebuild();
    minimiseRow2AfterCounting();

    cascadeWebWindows(list, platform.windows);

    EXPECT_EQ(moves(), json::parse(R"([
        {"op": "resizeto", "window": "A", "width": 949, "height": 693},
        {"op": "moveto", "window": "A", "x": 0, "y": 0}])"));
}

// A shell that cannot arrange anything (its process has gone away).
class BrokenShell : public automation::Shell
{
public:
    std::shared_ptr<automation::ShellWindows> windows() override { fail("windows"); }
    void MinimizeAll() override { fail("MinimizeAll"); }
    void TileVertically() override { fail("TileVertically"); }
    void TileHorizontally() override { fail("TileHorizontally"); }
    void CascadeWindows() override { fail("CascadeWindows"); }

private:
    [[noreturn]] static void fail(const char* member)
    {
        throw automation::Error(member, "the shell is gone");
    }
};

TEST_F(ArrangeTest, AFailingShellStillGivesTheMainWindowBack)
{
    const automation::Hwnd main = openBrowser("Main").hwnd;
    BrokenShell shell;
    for (ShellArrangement how :
         {ShellArrangement::TileVertically, ShellArrangement::TileHorizontally,
          ShellArrangement::CascadeWindows}) {
        arrangeByShell(shell, module, main, how);
        EXPECT_EQ(calls(), (json{{{"op", "CloseWindow"}, {"hwnd", main}},
                                 {{"op", "OpenIcon"}, {"hwnd", main}}}));
        EXPECT_EQ(desktop.find("Main")->state, WindowState::Normal);
        EXPECT_EQ(desktop.active(), "Main");
    }
    minimizeAllWindows(shell, module, main);
    EXPECT_EQ(calls(), (json{{{"op", "CloseWindow"}, {"hwnd", main}},
                             {{"op", "OpenIcon"}, {"hwnd", main}}}));
}

// The window manager of the simulated desktop, watched: which calls came inside a
// batch and whether every batch was closed.
class BatchWatcher : public automation::WindowManager
{
public:
    explicit BatchWatcher(automation::WindowManager& inner) : m_inner(inner) {}

    automation::Hwnd attachMainWindow(automation::HostWindow& window) override
    {
        return m_inner.attachMainWindow(window);
    }
    void detachMainWindow() override { m_inner.detachMainWindow(); }
    void SetWindowPos(automation::Hwnd hwnd, automation::Hwnd after, int x, int y, int cx, int cy,
                      unsigned flags) override
    {
        note();
        m_inner.SetWindowPos(hwnd, after, x, y, cx, cy, flags);
    }
    bool IsZoomed(automation::Hwnd hwnd) override { return m_inner.IsZoomed(hwnd); }
    bool IsIconic(automation::Hwnd hwnd) override { return m_inner.IsIconic(hwnd); }
    void CloseWindow(automation::Hwnd hwnd) override
    {
        note();
        m_inner.CloseWindow(hwnd);
    }
    void OpenIcon(automation::Hwnd hwnd) override
    {
        note();
        m_inner.OpenIcon(hwnd);
    }
    void AppActivate(const std::string& caption) override
    {
        note();
        m_inner.AppActivate(caption);
    }
    void SendKeys(const std::string& keys) override { m_inner.SendKeys(keys); }
    automation::ScreenMetrics screen() override { return m_inner.screen(); }
    void beginBatch() override
    {
        ++depth;
        ++batches;
    }
    void commitBatch() override { --depth; }

    int depth = 0;
    int batches = 0;
    int inside = 0;
    int outside = 0;

private:
    void note() { ++(depth > 0 ? inside : outside); }

    automation::WindowManager& m_inner;
};

// Every command that acts on many windows sends its changes in one batch, closed again
// whether its steps succeed or fail, so the window manager waits once per command.
TEST_F(ArrangeTest, CommandsOverManyWindowsRunInOneClosedBatch)
{
    const automation::Hwnd main = openBrowser("Main").hwnd;
    openBrowser("A");
    openBrowser("B");
    openBrowser("C");
    rebuild();
    BatchWatcher watcher(platform.windows);
    automation::Platform watched{platform.objects, watcher,           platform.launcher,
                                 platform.dialogs, platform.messages, platform.help,
                                 platform.clock,   platform.files};
    Module1 watchedModule(watched, ProgramFiles{"/nonexistent/tabulon"});
    const auto shell = platform.objects.createShell();
    BrokenShell broken;

    const std::vector<std::pair<const char*, std::function<void()>>> commands = {
        {"tile", [&] { tileWebWindows(list, watcher); }},
        {"cascade", [&] { cascadeWebWindows(list, watcher); }},
        {"restore all", [&] { restoreWebWindows(list, watchedModule); }},
        {"minimise all", [&] { minimizeAllWindows(*shell, watchedModule, main); }},
        {"tile by the shell",
         [&] { arrangeByShell(*shell, watchedModule, main, ShellArrangement::TileVertically); }},
        {"a shell that fails", [&] { minimizeAllWindows(broken, watchedModule, main); }},
    };
    for (const auto& [name, command] : commands) {
        watcher.batches = watcher.inside = watcher.outside = 0;
        command();
        EXPECT_EQ(watcher.batches, 1) << name;
        EXPECT_EQ(watcher.depth, 0) << name;
        EXPECT_GT(watcher.inside, 0) << name;
        EXPECT_EQ(watcher.outside, 0) << name;
    }
}

} // namespace
} // namespace tabulon
