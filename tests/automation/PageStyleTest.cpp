#include "automation/PageStyle.h"

#include <cmath>
#include <gtest/gtest.h>
#include <regex>

using namespace automation;

namespace {

// The declarations of the rule whose selector starts with the text, "" when none does.
std::string ruleFor(const std::string& sheet, const std::string& selectorStart)
{
    std::size_t at = 0;
    while (at < sheet.size()) {
        const std::size_t open = sheet.find('{', at);
        const std::size_t close = sheet.find('}', open);
        if (open == std::string::npos || close == std::string::npos)
            break;
        if (sheet.compare(at, selectorStart.size(), selectorStart) == 0)
            return sheet.substr(open + 1, close - open - 1);
        at = sheet.find_first_not_of('\n', close + 1);
    }
    return {};
}

TEST(PageStyle, ColoursAreWrittenFromTheirNumbersOnly)
{
    EXPECT_EQ(cssColor(0), "#000000");
    EXPECT_EQ(cssColor(0x0A0B0C), "#0a0b0c");
    // Bits above the colour never reach the text.
    EXPECT_EQ(cssColor(-1), "#ffffff");
    EXPECT_EQ(cssColor(0x7F123456), "#123456");

    BaseColors colors;
    colors.rgb = {-1, 0x1000001, 0x7F00FF00, 0x800000, 0x00FFFF};
    const std::string sheet = baseColorSheet(colors);
    // Every colour in the text is six hex digits; the only other "#" are the ids that
    // weigh the selectors.
    const std::regex hash("#([^ ;,:)#]*)");
    for (auto it = std::sregex_iterator(sheet.begin(), sheet.end(), hash);
         it != std::sregex_iterator(); ++it) {
        const std::string value = (*it)[1];
        EXPECT_TRUE(std::regex_match(value, std::regex("[0-9a-f]{6}|tabulon-[abc]"))) << value;
    }
}

TEST(PageStyle, TheSheetColoursTextBackgroundAndEachKindOfLink)
{
    BaseColors colors;
    colors.rgb = {0x0000FF, 0x111111, 0x222222, 0x333333, 0xFFFF00};
    const std::string sheet = baseColorSheet(colors);

    const std::string all = ruleFor(sheet, "*");
    EXPECT_NE(all.find("color: #0000ff !important"), std::string::npos) << sheet;
    EXPECT_NE(all.find("background-color: #ffff00 !important"), std::string::npos) << sheet;
    EXPECT_NE(ruleFor(sheet, "a:link").find("#111111"), std::string::npos) << sheet;
    EXPECT_NE(ruleFor(sheet, "a:visited").find("#333333"), std::string::npos) << sheet;
    EXPECT_NE(ruleFor(sheet, "a:active").find("#222222"), std::string::npos) << sheet;
    // Of rules that weigh the same the last wins: a visited link being clicked shows
    // the active colour.
    EXPECT_LT(sheet.find("a:link"), sheet.find("a:visited"));
    EXPECT_LT(sheet.find("a:visited"), sheet.find("a:active"));
    // Images and the like keep their pixels: no background paints over their
    // transparent parts.
    const std::string selector = sheet.substr(0, sheet.find('{'));
    for (const char* own : {"img", "video", "canvas", "svg"})
        EXPECT_NE(selector.find(own), std::string::npos) << own;

    EXPECT_EQ(sheet.find("background-image"), std::string::npos);
    colors.noBackgroundImage = true;
    const std::string without = baseColorSheet(colors);
    EXPECT_NE(without.find("background-image: none !important"), std::string::npos);
    EXPECT_EQ(without.substr(0, sheet.size()), sheet);
}

TEST(PageStyle, ZoomIsBoundedAndWrittenInPlainDecimals)
{
    EXPECT_EQ(zoomSheet(1), "");
    EXPECT_EQ(keepBodySizeSheet(1), "");
    EXPECT_EQ(zoomSheet(NAN), "");
    EXPECT_NE(zoomSheet(1.61051).find("zoom: 1.61051 !important"), std::string::npos);
    // Far below and above what a browser shows, the nearest it does.
    EXPECT_NE(zoomSheet(0.9 * 0.9 * 1e-20).find("zoom: 0.3 !important"), std::string::npos);
    EXPECT_NE(zoomSheet(1e300).find("zoom: 5 !important"), std::string::npos);
    EXPECT_NE(zoomSheet(INFINITY).find("zoom: 5 !important"), std::string::npos);
    EXPECT_DOUBLE_EQ(boundedZoom(-INFINITY), kMinZoom);
    // A zoomed page keeps its body at the size it had: the body's own size property
    // carries the factor too.
    EXPECT_NE(zoomSheet(1.1).find(keepBodySizeSheet(1.1)), std::string::npos);
    EXPECT_NE(keepBodySizeSheet(0.9).find("font-size: 1em !important"), std::string::npos);
}

} // namespace
