#include "arrange/Layout.h"

#include <gtest/gtest.h>

namespace tabulon {
namespace {

automation::ScreenMetrics screenOf(double widthPixels, double heightPixels, int twipsPerPixel = 15)
{
    return automation::ScreenMetrics{widthPixels * twipsPerPixel, heightPixels * twipsPerPixel,
                                     twipsPerPixel, twipsPerPixel};
}

const ScreenSize k1024x768 = screenSize(screenOf(1024, 768));

TEST(TileGrid, FollowsTheShapeTable)
{
    struct Shape
    {
        int fewest;
        int most;
        Grid grid;
    };
    const Shape table[] = {{2, 2, {2, 1}},   {3, 4, {2, 2}},   {5, 6, {3, 2}},  {7, 9, {3, 3}},
                           {10, 12, {4, 3}}, {13, 16, {4, 4}}, {17, 20, {5, 4}}};
    for (const Shape& shape : table) {
        for (int k = shape.fewest; k <= shape.most; ++k)
            EXPECT_EQ(tileGrid(k), shape.grid) << "k = " << k;
    }
}

TEST(TileLayout, FiveWindowsOn1024x768)
{
    const Grid grid = tileGrid(5);
    const PixelSize cell = tileCell(k1024x768, grid);
    EXPECT_EQ(cell, (PixelSize{341, 371}));
    const PixelPoint expected[] = {{0, 0}, {341, 0}, {682, 0}, {0, 371}, {341, 371}};
    for (int m = 0; m < 5; ++m)
        EXPECT_EQ(tileSlot(m, grid, cell), expected[m]) << "slot " << m;
}

TEST(TileLayout, TwoWindowsSideBySideAboveTheBottomStrip)
{
    const Grid grid = tileGrid(2);
    const PixelSize cell = tileCell(k1024x768, grid);
    EXPECT_EQ(cell, (PixelSize{512, 743}));
    EXPECT_EQ(tileSlot(1, grid, cell), (PixelPoint{512, 0}));
}

TEST(TileLayout, CellsRoundDownOnOddScreens)
{
    // 1366 / 3 = 455.33 and (800 - 25) / 2 = 387.5.
    const PixelSize cell = tileCell(screenSize(screenOf(1366, 800)), tileGrid(6));
    EXPECT_EQ(cell, (PixelSize{455, 387}));
}

TEST(CascadeLayout, SizeShrinksWithEveryRowOfTheList)
{
    EXPECT_EQ(cascadeSize(k1024x768, 4), (PixelSize{899, 643}));
    EXPECT_EQ(cascadeSize(k1024x768, 6), (PixelSize{849, 593}));
    EXPECT_EQ(cascadeSlot(0), (PixelPoint{0, 0}));
    EXPECT_EQ(cascadeSlot(1), (PixelPoint{25, 25}));
    EXPECT_EQ(cascadeSlot(19), (PixelPoint{475, 475}));
}

TEST(CascadeLayout, ALongListNeverGivesAWindowOfNoSize)
{
    // 30 rows would leave 1024 - 775 = 249 by 768 - 775 = -7.
    EXPECT_EQ(cascadeSize(k1024x768, 30), (PixelSize{249, kSmallestCascadeSize}));
    EXPECT_EQ(cascadeSize(k1024x768, 1000),
              (PixelSize{kSmallestCascadeSize, kSmallestCascadeSize}));
}

TEST(ScreenSize, QuotientIsTakenInSinglePrecision)
{
    // 15361 / 15 is 1024.0666... ; 11519 / 15 is 767.9333...
    const automation::ScreenMetrics odd{15361, 11519, 15, 15};
    const ScreenSize size = screenSize(odd);
    EXPECT_EQ(size.width, 15361.0f / 15.0f);
    EXPECT_EQ(size.height, 11519.0f / 15.0f);
    EXPECT_EQ(cascadeSize(size, 4).height, 642);
    EXPECT_EQ(tileCell(size, tileGrid(2)).width, 512);
}

TEST(ScreenSize, ToleratesAScreenWithoutTwipsPerPixel)
{
    const ScreenSize size = screenSize(automation::ScreenMetrics{1024, 768, 0, 0});
    EXPECT_EQ(size.width, 1024.0f);
    EXPECT_EQ(size.height, 768.0f);
}

TEST(FrontPlacement, FivePercentInNinetyPercentOfTheScreen)
{
    const FrontPlacement placement = frontPlacement(screenOf(1024, 768));
    // The products are passed as they are: 768 * 0.05 is not exactly 38.4.
    EXPECT_DOUBLE_EQ(placement.position.x, 51.2);
    EXPECT_EQ(placement.position.y, 768 * 0.05);
    EXPECT_DOUBLE_EQ(placement.size.width, 921.6);
    EXPECT_DOUBLE_EQ(placement.size.height, 691.2);
}

TEST(FrontPlacement, StartsFromTheWholePixelScreenSize)
{
    // 1024.93 pixels wide counts as 1024.
    const FrontPlacement placement =
        frontPlacement(automation::ScreenMetrics{15374, 11520, 15, 15});
    EXPECT_DOUBLE_EQ(placement.size.width, 921.6);
}

} // namespace
} // namespace tabulon
