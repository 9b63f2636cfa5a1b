#include "page/FontSize.h"

#include "tests/page/PageDesktop.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace tabulon {
namespace {

TEST(FontFactorText, WritesAtMostFifteenSignificantDigits)
{
    EXPECT_EQ(fontFactorText(1), "1");
    EXPECT_EQ(fontFactorText(1.1), "1.1");
    EXPECT_EQ(fontFactorText(1.1 * 1.1), "1.21"); // 1.2100000000000002
    EXPECT_EQ(fontFactorText(1.1 * 0.9), "0.99"); // 0.9900000000000001
    EXPECT_EQ(fontFactorText(0.9 * 0.9 * 0.9), "0.729");
    EXPECT_EQ(fontFactorText(1.0 / 3), "0.333333333333333");
    EXPECT_EQ(fontFactorText(0.0001), "0.0001");
    EXPECT_EQ(fontFactorText(123456789012345.0), "123456789012345");
}

TEST(FontFactorText, NeverWritesAnExponent)
{
    EXPECT_EQ(fontFactorText(0.00001), "0.00001");
    EXPECT_EQ(fontFactorText(1.25e-7), "0.000000125");
    EXPECT_EQ(fontFactorText(1e15), "1000000000000000");
    EXPECT_EQ(fontFactorText(1.5e16), "15000000000000000");
    EXPECT_EQ(fontFactorText(1234567890123456789.0), "1234567890123460000");

    // A hundred presses of "-" and of "+".
    double small = 1;
    double large = 1;
    for (int i = 0; i < 100; ++i) {
        small *= 0.9;
        large *= 1.1;
    }
    EXPECT_EQ(fontFactorText(small), "0.0000265613988875875");
    EXPECT_EQ(fontFactorText(large), "13780.6123398224");
    for (int i = 0; i < 300; ++i)
        large *= 1.1;
    const std::string text = fontFactorText(large);
    EXPECT_EQ(text.find_first_of("eE"), std::string::npos);
    EXPECT_EQ(text.size(), 17u);
    EXPECT_NEAR(std::stod(text) / large, 1, 1e-14);
    EXPECT_EQ(fontFactorText(INFINITY), "");
}

class FontSizeTest : public ::testing::Test
{
protected:
    test::PageDesktop d;
    FontSize size;
};

TEST_F(FontSizeTest, AClosedTargetChangesNothingAndTheFactorGoesOn)
{
    auto page = d.open("A");
    d.listAll(1);
    ASSERT_TRUE(size.GetFontSize(d.list));
    EXPECT_EQ(page->body->fontSize, "1em");
    d.desktop.closeWindow("A");
    d.desktop.takeCalls();
    EXPECT_TRUE(size.changeBy(d.list, 1.1));
    EXPECT_DOUBLE_EQ(size.FontRate(), 1.1);
    EXPECT_EQ(page->body->fontSize, "1em");
    const auto calls = d.desktop.takeCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]["failed"], true);
    EXPECT_EQ(calls[1]["op"], "zoom");
    EXPECT_EQ(calls[1]["failed"], true);
}

TEST_F(FontSizeTest, ThePageIsZoomedByTheFactorEvenWithoutABody)
{
    auto page = d.open("A");
    page->body.reset();
    d.listAll(1);
    ASSERT_TRUE(size.GetFontSize(d.list));
    EXPECT_TRUE(size.changeBy(d.list, 1.1));
    EXPECT_TRUE(size.changeBy(d.list, 1.1));
    ASSERT_TRUE(size.GetFontSize(d.list));
    std::vector<double> zooms;
    for (const auto& call : d.desktop.takeCalls())
        if (call["op"] == "zoom" && !call.contains("failed"))
            zooms.push_back(call["factor"].get<double>());
    ASSERT_EQ(zooms.size(), 4u);
    EXPECT_EQ(zooms[0], 1);
    EXPECT_DOUBLE_EQ(zooms[2], 1.21);
    // The reset goes back to the page's own size, whatever the factor reached.
    EXPECT_EQ(zooms[3], 1);
}

TEST_F(FontSizeTest, ARowWhosePageCannotBeReadLeavesNoTarget)
{
    auto a = d.open("A");
    auto b = d.open("B");
    d.desktop.find("B")->fail = {"Document"};
    d.listAll(1);
    ASSERT_TRUE(size.GetFontSize(d.list));
    d.list.select(2);
    ASSERT_TRUE(size.GetFontSize(d.list));
    EXPECT_EQ(size.FontDoc(), nullptr);
    EXPECT_TRUE(size.changeBy(d.list, 1.1));
    EXPECT_EQ(a->body->fontSize, "1em");
    EXPECT_EQ(b->body->fontSize, "");
}

TEST_F(FontSizeTest, NoSelectionChangesNothing)
{
    auto page = d.open("A");
    d.listAll(1);
    size.GetFontSize(d.list);
    size.changeBy(d.list, 1.1);
    d.list.select(0);
    EXPECT_FALSE(size.changeBy(d.list, 1.1));
    EXPECT_FALSE(size.GetFontSize(d.list));
    EXPECT_DOUBLE_EQ(size.FontRate(), 1.1);
    EXPECT_EQ(page->body->fontSize, "1.1em");
}

} // namespace
} // namespace tabulon
