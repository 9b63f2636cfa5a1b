#include "core/Module1.h"

#include "automation/sim/SimDesktop.h"

#include <climits>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

using automation::Hwnd;
using testing::Return;

TEST(Module1, GuessesTheSystemFolderFromTheDesktopPath)
{
    EXPECT_EQ(guessWinDir("C:\\WINNT\\Profiles\\u\\Desktop"), "C:\\winnt");
    EXPECT_EQ(guessWinDir("c:\\winnt\\profiles\\u\\desktop"), "C:\\winnt");
    EXPECT_EQ(guessWinDir("d:\\Documents and Settings\\winntuser\\Desktop"), "D:\\windows");
    // A POSIX desktop has no drive; the programs live in /usr/bin.
    EXPECT_EQ(guessWinDir("/home/u/Desktop"), "/usr/bin");
    EXPECT_EQ(guessWinDir(""), "/usr/bin");
}

TEST(Module1, ReadsTheNumberAtTheStartOfAStoredValue)
{
    EXPECT_EQ(leadingNumber("105"), 105);
    EXPECT_EQ(leadingNumber("  600abc"), 600);
    EXPECT_EQ(leadingNumber("-7"), -7);
    EXPECT_DOUBLE_EQ(leadingNumber("+3.25 twips"), 3.25);
    EXPECT_DOUBLE_EQ(leadingNumber(".5"), 0.5);
    EXPECT_EQ(leadingNumber("abc"), 0);
    EXPECT_EQ(leadingNumber(""), 0);
    EXPECT_EQ(leadingNumber("-"), 0);
}

TEST(Module1, RoundsToTheNearestLongWithHalvesToEvenAndClamps)
{
    EXPECT_EQ(toLong(2.5), 2);
    EXPECT_EQ(toLong(3.5), 4);
    EXPECT_EQ(toLong(-2.5), -2);
    EXPECT_EQ(toLong(6540.4), 6540);
    EXPECT_EQ(toLong(1e20), INT_MAX);
    EXPECT_EQ(toLong(-1e20), INT_MIN);
    EXPECT_EQ(toLong(std::nan("")), 0);
}

TEST(Module1, MaxLongTakesTheLarger)
{
    EXPECT_EQ(Module1::MaxLong(-5, -7), -5);
    EXPECT_EQ(Module1::MaxLong(3, 3), 3);
    EXPECT_EQ(Module1::MaxLong(INT_MIN, INT_MAX), INT_MAX);
}

class MockWindowManager : public automation::WindowManager
{
public:
    MOCK_METHOD(Hwnd, attachMainWindow, (automation::HostWindow&), (override));
    MOCK_METHOD(void, detachMainWindow, (), (override));
    MOCK_METHOD(void, SetWindowPos, (Hwnd, Hwnd, int, int, int, int, unsigned), (override));
    MOCK_METHOD(bool, IsZoomed, (Hwnd), (override));
    MOCK_METHOD(bool, IsIconic, (Hwnd), (override));
    MOCK_METHOD(void, CloseWindow, (Hwnd), (override));
    MOCK_METHOD(void, OpenIcon, (Hwnd), (override));
    MOCK_METHOD(void, AppActivate, (const std::string&), (override));
    MOCK_METHOD(void, SendKeys, (const std::string&), (override));
    MOCK_METHOD(automation::ScreenMetrics, screen, (), (override));
};

class Module1States : public testing::Test
{
protected:
    automation::sim::SimDesktop desktop{automation::sim::SimSetup{}};
    automation::Platform sim = desktop.platform();
    MockWindowManager windows;
    automation::Platform platform{sim.objects,  windows,  sim.launcher, sim.dialogs,
                                  sim.messages, sim.help, sim.clock,    sim.files};
    Module1 module{platform, ProgramFiles{"/nonexistent", "tabulon"}};
};

TEST_F(Module1States, StateLettersComeFromTheWindowManager)
{
    EXPECT_CALL(windows, IsZoomed).Times(0);
    EXPECT_EQ(module.GetWinState(0), "0");

    // Maximised wins over minimised when a window manager reports both.
    EXPECT_CALL(windows, IsZoomed(7)).WillOnce(Return(true));
    EXPECT_CALL(windows, IsIconic(7)).WillRepeatedly(Return(true));
    EXPECT_EQ(module.GetWinState(7), "L");

    EXPECT_CALL(windows, IsZoomed(8)).WillOnce(Return(false));
    EXPECT_CALL(windows, IsIconic(8)).WillOnce(Return(true));
    EXPECT_EQ(module.GetWinState(8), "S");

    EXPECT_CALL(windows, IsZoomed(9)).WillOnce(Return(false));
    EXPECT_CALL(windows, IsIconic(9)).WillOnce(Return(false));
    EXPECT_EQ(module.GetWinState(9), "M");
}

TEST(Module1OpenSiteWindow, OpensANewVisibleBrowserWithItsBarsOnTheAddress)
{
    automation::sim::SimDesktop sim{automation::sim::SimSetup{}};
    automation::sim::SimControl& desktop = sim.control();
    automation::Platform platform = sim.platform();
    Module1 module{platform, ProgramFiles{"/nonexistent", "tabulon"}};

    module.OpenSiteWindow("http://example.jp/");

    const auto calls = desktop.takeCalls();
    std::vector<std::string> ops;
    for (const auto& call : calls)
        ops.push_back(call["op"].get<std::string>() +
                      (call.contains("prop")
                           ? " " + call["prop"].get<std::string>() + "=" + call["value"].dump()
                           : std::string()));
    EXPECT_EQ(ops,
              (std::vector<std::string>{"CreateBrowser", "put FullScreen=false", "put Toolbar=true",
                                        "put MenuBar=true", "Navigate", "put Visible=true"}));
    const auto* window = desktop.find("new1");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->url, "http://example.jp/");
    EXPECT_EQ(desktop.active(), "new1");
    EXPECT_EQ(desktop.idOf(module.CurIE.get()), "new1");
}

} // namespace
} // namespace tabulon
