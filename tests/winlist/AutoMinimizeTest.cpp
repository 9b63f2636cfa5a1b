#include "winlist/AutoMinimize.h"

#include "tests/SimFixture.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

using automation::WindowState;
using nlohmann::json;

class AutoMinimizeTest : public ::testing::Test, protected testing::SimFixture
{
};

TEST_F(AutoMinimizeTest, AWindowThatVanishedAfterTheRebuildIsSkipped)
{
    openBrowser("A", 501);
    openBrowser("B", 502);
    openBrowser("C", 503);
    rebuild();
    desktop.closeWindow("B");

    std::vector<std::string> seen;
    autoMinimize(list, seen, module);

    EXPECT_EQ(seen, (std::vector<std::string>{"501", "503"}));
    EXPECT_EQ(calls(), json::parse(R"([{"op": "CloseWindow", "hwnd": 501},
                                       {"op": "CloseWindow", "hwnd": 503}])"));
}

TEST_F(AutoMinimizeTest, SwitchingOnSkipsAWindowThatCannotTellItsHandle)
{
    openBrowser("A", 501);
    openBrowser("B", 502);
    rebuild();
    desktop.closeWindow("A");

    EXPECT_EQ(seenHandles(list), (std::vector<std::string>{"502"}));
}

TEST_F(AutoMinimizeTest, OnlyTheFirst20RowsTakePart)
{
    for (int i = 1; i <= 22; ++i)
        openBrowser("w" + std::to_string(i), 600 + i);
    rebuild();
    ASSERT_EQ(list.count(), 22);

    const std::vector<std::string> seen = seenHandles(list);
    ASSERT_EQ(seen.size(), 20u);
    EXPECT_EQ(seen.back(), "620");

    std::vector<std::string> none;
    autoMinimize(list, none, module);
    EXPECT_EQ(none.size(), 20u);
    EXPECT_EQ(desktop.find("w21")->state, WindowState::Normal);
    EXPECT_EQ(desktop.find("w20")->state, WindowState::Minimized);
}

} // namespace
} // namespace tabulon
