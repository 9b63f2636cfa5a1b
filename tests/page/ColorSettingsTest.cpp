#include "page/ColorSettings.h"

#include "base/Cp932.h"
#include "page/SelectedPage.h"
#include "tests/page/PageDesktop.h"

#include <fstream>
#include <gtest/gtest.h>

namespace tabulon {
namespace {

using automation::sim::SimBody;

TEST(ToHtmlColor, SwapsRedAndBlue)
{
    EXPECT_EQ(ToHtmlColor(0x0080FF), 0xFF8000); // an orange
    EXPECT_EQ(ToHtmlColor(0), 0);
    EXPECT_EQ(ToHtmlColor(0xFF0000), 0x0000FF);
    EXPECT_EQ(ToHtmlColor(13828244), 0x9400D3);
    EXPECT_EQ(ToHtmlColor(0x123456), 0x563412);
}

TEST(StoredColor, IsTheNumberLessOneOrNothing)
{
    EXPECT_EQ(readStoredColor("1"), 0);
    EXPECT_EQ(readStoredColor("16777216"), 0xFFFFFF);
    EXPECT_EQ(readStoredColor(" 256 trailing"), 255);
    EXPECT_EQ(readStoredColor("2147483648"), 2147483647);
    // Missing, zero or below, and too large for 32 bits once offset: nothing.
    EXPECT_EQ(readStoredColor(""), std::nullopt);
    EXPECT_EQ(readStoredColor("abc"), std::nullopt);
    EXPECT_EQ(readStoredColor("0"), std::nullopt);
    EXPECT_EQ(readStoredColor("-7"), std::nullopt);
    EXPECT_EQ(readStoredColor("2147483649"), std::nullopt);
    EXPECT_EQ(readStoredColor(std::string(400, '9')), std::nullopt);
}

TEST(StoredCheck, OnlyZeroOrMissingIsOn)
{
    EXPECT_EQ(readStoredCheck("0"), 1);
    EXPECT_EQ(readStoredCheck(""), 1);
    EXPECT_EQ(readStoredCheck("-1"), 0);
    EXPECT_EQ(readStoredCheck("1"), 0); // the grey state
    EXPECT_EQ(readStoredCheck("-2"), 0);
    EXPECT_EQ(readStoredCheck("99999999999"), 0);
}

class ColorSettingsTest : public ::testing::Test
{
protected:
    void writeSettings(const std::string& text)
    {
        std::ofstream(d.path("tabulon.ini"), std::ios::binary) << toCp932(text);
    }
    std::array<std::int32_t, 5> column(int c) const
    {
        std::array<std::int32_t, 5> values{};
        for (std::size_t i = 0; i < 5; ++i)
            values[i] = d.module.HtmColors[i][static_cast<std::size_t>(c)];
        return values;
    }

    test::PageDesktop d;
};

TEST_F(ColorSettingsTest, MissingTextColourBringsBackEveryDefault)
{
    writeSettings("[HTMColor]\r\nBG=5\r\nLG=6\r\nAL=7\r\nVL=8\r\nGR=-1\r\n");
    EXPECT_EQ(loadColorSettings(d.module), 0);
    EXPECT_EQ(column(kEdited), kDefaultColors);
    EXPECT_EQ(column(kApplied), kDefaultColors);

    writeSettings("[HTMColor]\r\nFG=4294967296\r\nBG=5\r\n");
    loadColorSettings(d.module);
    EXPECT_EQ(column(kApplied), kDefaultColors);
}

TEST_F(ColorSettingsTest, AnotherMissingOrUnfitColourTakesOnlyItsOwnDefault)
{
    writeSettings("[HTMColor]\r\nFG=2\r\nBG=5\r\nAL=0\r\nVL=9999999999\r\n");
    EXPECT_EQ(loadColorSettings(d.module), 1); // no GR: on
    const std::array<std::int32_t, 5> expected = {1, 0xFF0000, 0xFF00FF, 13828244, 4};
    EXPECT_EQ(column(kApplied), expected);
    EXPECT_EQ(column(kEdited), expected);
}

TEST_F(ColorSettingsTest, SavedColoursLoadBackInTheirKeysOrder)
{
    d.module.HtmColors = {{{0x0080FF, 0}, {1, 0}, {2, 0}, {3, 0}, {0xFFFFFF, 0}}};
    saveColorSettings(d.module, 0);
    std::ifstream in(d.path("tabulon.ini"), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(text, "[HTMColor]\r\nFG=33024\r\nBG=16777216\r\nLG=2\r\nAL=3\r\nVL=4\r\nGR=-1\r\n");

    d.module.HtmColors = {};
    EXPECT_EQ(loadColorSettings(d.module), 0);
    const std::array<std::int32_t, 5> expected = {0x0080FF, 1, 2, 3, 0xFFFFFF};
    EXPECT_EQ(column(kApplied), expected);
}

TEST_F(ColorSettingsTest, APageWithoutBodyStillGetsItsColours)
{
    auto page = d.open("A");
    page->body.reset();
    d.listAll(1);
    d.module.HtmColors = {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {0x0080FF, 0}}};
    applyColors(selectedDocument(d.list).get(), d.module.HtmColors, 1);
    EXPECT_EQ(page->colors[0], 0x010000);
    EXPECT_EQ(page->colors[4], 0xFF8000);
}

TEST_F(ColorSettingsTest, AFailingPropertyIsSkippedAndTheRestSet)
{
    auto page = d.open("A");
    page->body = SimBody{"bg.gif", ""};
    page->fail = {"fgcolor", "vlinkcolor"};
    d.listAll(1);
    d.module.HtmColors = {{{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}};
    // The grey state keeps the background image.
    applyColors(selectedDocument(d.list).get(), d.module.HtmColors, 2);
    EXPECT_EQ(page->body->background, "bg.gif");
    EXPECT_EQ(page->colors[0], std::nullopt);
    EXPECT_EQ(page->colors[1], 0x020000);
    EXPECT_EQ(page->colors[2], 0x030000);
    EXPECT_EQ(page->colors[3], std::nullopt);
    EXPECT_EQ(page->colors[4], 0x050000);
}

TEST_F(ColorSettingsTest, TheColoursAlsoGoOnThePageAsAStyleSheet)
{
    auto page = d.open("A");
    page->fail = {"fgcolor", "background"};
    d.listAll(1);
    d.module.HtmColors = {{{0x0080FF, 0}, {2, 0}, {3, 0}, {4, 0}, {0xFFFFFF, 0}}};
    const auto styleCall = [&] {
        nlohmann::json found;
        for (const auto& call : d.desktop.takeCalls())
            if (call["op"] == "style")
                found = call;
        return found;
    };
    // Failing properties do not keep the sheet away.
    applyColors(selectedDocument(d.list).get(), d.module.HtmColors, 1);
    const auto call = styleCall();
    EXPECT_EQ(call["fg"], 0x0080FF);
    EXPECT_EQ(call["link"], 2);
    EXPECT_EQ(call["alink"], 3);
    EXPECT_EQ(call["vlink"], 4);
    EXPECT_EQ(call["bg"], 0xFFFFFF);
    EXPECT_EQ(call["noBackgroundImage"], true);
    EXPECT_FALSE(call.contains("failed"));

    // Nor does a failing sheet keep the properties away.
    page->fail = {"style"};
    applyColors(selectedDocument(d.list).get(), d.module.HtmColors, 0);
    EXPECT_EQ(page->colors[0], 0xFF8000);
    EXPECT_EQ(styleCall()["noBackgroundImage"], false);
}

TEST_F(ColorSettingsTest, PickColorStartsFromTheLastChosenColour)
{
    d.desktop.dialogs().queueColor(0x00FF00);
    d.desktop.dialogs().queueColor(std::nullopt);
    EXPECT_EQ(PickColor(d.module.ComDialog1), 0x00FF00);
    EXPECT_EQ(PickColor(d.module.ComDialog1), -1);
    const auto shown = d.desktop.dialogs().takeShown();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0]["initial"], 0);
    EXPECT_EQ(shown[1]["initial"], 0x00FF00);
    EXPECT_EQ(d.module.ComDialog1.Color, 0x00FF00);
}

} // namespace
} // namespace tabulon
