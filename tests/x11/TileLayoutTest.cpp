#include "automation/x11/TileLayout.h"

#include <gtest/gtest.h>

namespace automation::x11 {
namespace {

bool overlap(const Rect& a, const Rect& b)
{
    return a.left < b.left + b.width && b.left < a.left + a.width && a.top < b.top + b.height &&
           b.top < a.top + a.height;
}

bool inside(const Rect& r, const Rect& area)
{
    return r.left >= area.left && r.top >= area.top && r.width > 0 && r.height > 0 &&
           r.left + r.width <= area.left + area.width && r.top + r.height <= area.top + area.height;
}

// Every count from 1 to 20, both ways, on an area with odd sizes and an offset: the
// cells stay inside, never overlap and leave no gap (their areas add up to the whole).
TEST(TileLayout, CellsFillTheAreaWithoutOverlapOrGap)
{
    const Rect area{7, 31, 1277, 743};
    for (const bool sideBySide : {true, false}) {
        for (int n = 1; n <= 20; ++n) {
            const std::vector<Rect> cells = layout::tile(area, n, sideBySide);
            ASSERT_EQ(cells.size(), static_cast<std::size_t>(n));
            long long covered = 0;
            for (std::size_t i = 0; i < cells.size(); ++i) {
                EXPECT_TRUE(inside(cells[i], area)) << n << " cell " << i;
                covered += static_cast<long long>(cells[i].width) * cells[i].height;
                for (std::size_t j = i + 1; j < cells.size(); ++j)
                    EXPECT_FALSE(overlap(cells[i], cells[j])) << n << ": " << i << "/" << j;
            }
            EXPECT_EQ(covered, static_cast<long long>(area.width) * area.height) << n;
        }
    }
}

TEST(TileLayout, FewWindowsMakeOneLineAndMoreMakeAGrid)
{
    const Rect area{0, 0, 1280, 760};
    EXPECT_EQ(layout::tile(area, 1, true), (std::vector<Rect>{{0, 0, 1280, 760}}));
    EXPECT_EQ(layout::tile(area, 2, true),
              (std::vector<Rect>{{0, 0, 640, 760}, {640, 0, 640, 760}}));
    EXPECT_EQ(layout::tile(area, 2, false),
              (std::vector<Rect>{{0, 0, 1280, 380}, {0, 380, 1280, 380}}));
    // Three stacked rows of 253, 253 and 254 pixels meet exactly.
    EXPECT_EQ(layout::tile(area, 3, false),
              (std::vector<Rect>{{0, 0, 1280, 253}, {0, 253, 1280, 253}, {0, 506, 1280, 254}}));
    // Five side by side: three columns of two, two and one; the last window takes the
    // whole height of its column.
    const std::vector<Rect> five = layout::tile(area, 5, true);
    EXPECT_EQ(five[0], (Rect{0, 0, 426, 380}));
    EXPECT_EQ(five[1], (Rect{0, 380, 426, 380}));
    EXPECT_EQ(five[4], (Rect{853, 0, 427, 760}));
    EXPECT_TRUE(layout::tile(area, 0, true).empty());
}

TEST(TileLayout, CascadeStepsFromTheBackAndStartsOverAtTheCorner)
{
    const Rect area{0, 20, 1000, 800};
    // The front window (first) is lowest and rightmost; all are 3/4 of the area.
    EXPECT_EQ(layout::cascade(area, 3, 22),
              (std::vector<Rect>{{44, 64, 750, 600}, {22, 42, 750, 600}, {0, 20, 750, 600}}));
    // 200 pixels of room hold offsets 0, 90 and 180; the fourth window starts over.
    const std::vector<Rect> wrapped = layout::cascade(area, 4, 90);
    EXPECT_EQ(wrapped[3].left, 0);
    EXPECT_EQ(wrapped[1].left, 180);
    EXPECT_EQ(wrapped[0].left, 0);
    for (const Rect& r : layout::cascade(area, 12, 25))
        EXPECT_TRUE(inside(r, area));
}

TEST(TileLayout, ClientSizeTakesTheFrameOffAndStaysPositive)
{
    const FrameExtents frame{1, 1, 21, 4};
    EXPECT_EQ(layout::clientSizeFor({10, 20, 640, 380}, frame), (Rect{10, 20, 638, 355}));
    EXPECT_EQ(layout::clientSizeFor({0, 0, 2, 10}, frame), (Rect{0, 0, 1, 1}));
}

} // namespace
} // namespace automation::x11
