#include "arrange/AllWindows.h"
#include "arrange/SelectedWindow.h"
#include "tests/SimFixture.h"
#include "winlist/AutoMinimize.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

using nlohmann::json;

class WebWindowListTest : public ::testing::Test, protected testing::SimFixture
{
protected:
    void openMany(int n)
    {
        for (int i = 1; i <= n; ++i)
            openBrowser("w" + std::to_string(i), automation::Hwnd{700} + i);
    }
};

TEST_F(WebWindowListTest, EveryRowTrackedReachesRowsAboveTheTwentiethAndTurningItOffDropsThem)
{
    openMany(23);
    rebuild();
    EXPECT_EQ(list.lastTracked(), 20);
    EXPECT_EQ(list.WebWin(21), nullptr);

    list.setAllRows(true);
    EXPECT_EQ(list.WebWin(21), nullptr) << "browser objects come with the next rebuild";
    rebuild();
    EXPECT_EQ(list.lastTracked(), 23);
    ASSERT_NE(list.WebWin(23), nullptr);
    EXPECT_EQ(list.WebWin(23)->hWnd(), 723);
    EXPECT_EQ(list.WebWin(24), nullptr);

    list.setAllRows(false);
    EXPECT_EQ(list.WebWin(21), nullptr);
    EXPECT_NE(list.WebWin(20), nullptr);
    list.setAllRows(true);
    EXPECT_EQ(list.WebWin(21), nullptr) << "an object dropped never comes back stale";
}

TEST_F(WebWindowListTest, TheCommandsOverEveryWindowReachEveryRowWhenAsked)
{
    openMany(22);
    list.setAllRows(true);
    rebuild();

    std::vector<std::string> seen;
    autoMinimize(list, seen, module);
    EXPECT_EQ(seen.size(), 22U);
    EXPECT_EQ(seen.back(), "722");
    calls();

    list.select(22);
    closeOtherWindows(list);
    const json quits = calls();
    ASSERT_EQ(quits.size(), 21U);
    EXPECT_EQ(quits.back()["window"], "w21");
}

TEST_F(WebWindowListTest, AFilterLimitsTheBulkCommandsToTheRowsShown)
{
    openMany(5);
    rebuild();
    EXPECT_EQ(list.scopeCount(), 5);

    // Numbers outside the list are ignored, not trusted.
    list.setShownRows(std::vector<int>{2, 4, 0, 9, -1});
    EXPECT_TRUE(list.filtered());
    EXPECT_EQ(list.scopeCount(), 2);
    EXPECT_FALSE(list.inScope(9));

    list.select(2);
    minimizeOtherWindows(list, module);
    EXPECT_EQ(calls(), json::parse(R"([{"op": "CloseWindow", "hwnd": 704}])"));

    EXPECT_TRUE(closeWebWindows(list));
    const json quits = calls();
    ASSERT_EQ(quits.size(), 2U);
    EXPECT_EQ(quits[0]["window"], "w2");
    EXPECT_EQ(quits[1]["window"], "w4");

    // A filter that shows nothing closes nothing and asks for no rebuild.
    list.setShownRows(std::vector<int>{});
    EXPECT_FALSE(closeWebWindows(list));
    EXPECT_TRUE(calls().empty());

    list.setShownRows(std::nullopt);
    EXPECT_EQ(list.scopeCount(), 5);
}

} // namespace
} // namespace tabulon
