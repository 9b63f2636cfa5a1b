#pragma once

#include "automation/WindowManager.h"

namespace tabulon {

// The screen in pixels as the arranging commands measure it: each quotient of the
// screen's twips by its twips per pixel, taken in single precision. The whole primary
// screen; the task bar is not subtracted.
struct ScreenSize
{
    float width = 0;
    float height = 0;
};

ScreenSize screenSize(const automation::ScreenMetrics& screen);

// The largest whole number not above x (negative values go down: Int(-0.5) is -1).
double Int(double x);

// A window at or below this height (pixels) is minimised and takes no part in the
// arranging of web windows.
inline constexpr long kArrangeableHeight = 25;
// The cascade's step and the per-row margin of its window size, in pixels.
inline constexpr int kCascadeStep = 25;
// The strip kept free at the bottom of the screen by the even tiling.
inline constexpr double kTileBottomStrip = 25.0;
// The fewest rows, and arrangeable windows, for which the web-only commands act.
inline constexpr int kFewestToArrange = 2;
// The smallest cascade size passed: a long list would otherwise give windows of no or
// negative size.
inline constexpr double kSmallestCascadeSize = 100;

bool isArrangeable(long height);

// Columns and rows of the even tiling of k windows.
struct Grid
{
    int columns = 0;
    int rows = 0;
    friend bool operator==(const Grid&, const Grid&) = default;
};

Grid tileGrid(int k);

// A window size or place in pixels; whole numbers held in double precision.
struct PixelPoint
{
    double x = 0;
    double y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};

struct PixelSize
{
    double width = 0;
    double height = 0;
    friend bool operator==(const PixelSize&, const PixelSize&) = default;
};

// One cell of the even tiling: the full width over the columns, the height less the
// bottom strip over the rows.
PixelSize tileCell(ScreenSize screen, Grid grid);
// Where slot m of the grid lies: cells fill left to right, then top to bottom.
PixelPoint tileSlot(int m, Grid grid, PixelSize cell);

// The size of every cascaded window. It shrinks with the number of rows of the list,
// every row counted, not with the number of windows cascaded.
PixelSize cascadeSize(ScreenSize screen, int rows);
PixelPoint cascadeSlot(int m);

// Where "bring to front" puts a window: 5 % of the whole-pixel screen size from the
// top-left corner, 90 % of it in size, the products left unrounded.
struct FrontPlacement
{
    PixelPoint position;
    PixelSize size;
};

FrontPlacement frontPlacement(const automation::ScreenMetrics& screen);

} // namespace tabulon
