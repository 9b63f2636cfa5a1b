#include "arrange/Layout.h"

#include <algorithm>
#include <cmath>

namespace tabulon {

namespace {

float perPixel(int twipsPerPixel)
{
    // A screen that reports no twips per pixel is taken as one twip to the pixel.
    return static_cast<float>(std::max(1, twipsPerPixel));
}

} // namespace

ScreenSize screenSize(const automation::ScreenMetrics& screen)
{
    return ScreenSize{static_cast<float>(screen.widthTwips) / perPixel(screen.twipsPerPixelX),
                      static_cast<float>(screen.heightTwips) / perPixel(screen.twipsPerPixelY)};
}

double Int(double x)
{
    return std::floor(x);
}

bool isArrangeable(long height)
{
    return height > kArrangeableHeight;
}

Grid tileGrid(int k)
{
    if (k < 1)
        return Grid{};
    const int columns = static_cast<int>(Int(std::sqrt(static_cast<double>(k - 1)))) + 1;
    return Grid{columns, k / columns + (k % columns > 0 ? 1 : 0)};
}

PixelSize tileCell(ScreenSize screen, Grid grid)
{
    if (grid.columns < 1 || grid.rows < 1)
        return PixelSize{};
    return PixelSize{Int(static_cast<double>(screen.width) / grid.columns),
                     Int((static_cast<double>(screen.height) - kTileBottomStrip) / grid.rows)};
}

PixelPoint tileSlot(int m, Grid grid, PixelSize cell)
{
    if (grid.columns < 1)
        return PixelPoint{};
    const int column = m % grid.columns;
    const int row = m / grid.columns;
    return PixelPoint{column * cell.width, row * cell.height};
}

PixelSize cascadeSize(ScreenSize screen, int rows)
{
    const double margin = static_cast<double>(kCascadeStep) * (static_cast<double>(rows) + 1);
    return PixelSize{
        std::max(kSmallestCascadeSize, Int(static_cast<double>(screen.width) - margin)),
        std::max(kSmallestCascadeSize, Int(static_cast<double>(screen.height) - margin))};
}

PixelPoint cascadeSlot(int m)
{
    const double offset = static_cast<double>(kCascadeStep) * m;
    return PixelPoint{offset, offset};
}

FrontPlacement frontPlacement(const automation::ScreenMetrics& screen)
{
    // The whole-pixel screen size is reached in single precision, the products in double.
    const ScreenSize size = screenSize(screen);
    const double w = std::floor(size.width);
    const double h = std::floor(size.height);
    return FrontPlacement{PixelPoint{w * 0.05, h * 0.05}, PixelSize{w * 0.9, h * 0.9}};
}

} // namespace tabulon
