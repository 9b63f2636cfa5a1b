#include "winlist/AutoMinimize.h"

#include "tests/SimFixture.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

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

} // namespace
} // namespace tabulon
