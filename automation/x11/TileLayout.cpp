#include "automation/x11/TileLayout.h"

#include <algorithm>
#include <cmath>

namespace automation::x11::layout {
namespace {

// The i-th of parts equal spans of length, the remainder spread so spans meet.
std::pair<int, int> span(int start, int length, int parts, int i)
{
    const auto edge = [&](int k) {
        return start + static_cast<int>(static_cast<long long>(length) * k / parts);
    };
    return {edge(i), edge(i + 1) - edge(i)};
}

} // namespace

std::vector<Rect> tile(const Rect& area, int count, bool sideBySide)
{
    std::vector<Rect> cells;
    if (count <= 0)
        return cells;
    // lines: columns when side by side, rows when stacked; each line holds up to `per`.
    const int lines = count <= 3 ? count : static_cast<int>(std::ceil(std::sqrt(count)));
    const int per = (count + lines - 1) / lines;
    const int used = (count + per - 1) / per;
    for (int i = 0; i < count; ++i) {
        const int line = i / per;
        const int inLine = line == used - 1 ? count - line * per : per;
        const int pos = i % per;
        Rect cell;
        if (sideBySide) {
            // Columns, filled top to bottom; the last column shares its height.
            std::tie(cell.left, cell.width) = span(area.left, area.width, used, line);
            std::tie(cell.top, cell.height) = span(area.top, area.height, inLine, pos);
        } else {
            // Rows, filled left to right; the last row shares its width.
            std::tie(cell.top, cell.height) = span(area.top, area.height, used, line);
            std::tie(cell.left, cell.width) = span(area.left, area.width, inLine, pos);
        }
        cells.push_back(cell);
    }
    return cells;
}

std::vector<Rect> cascade(const Rect& area, int count, int step)
{
    std::vector<Rect> cells;
    if (count <= 0)
        return cells;
    step = std::max(1, step);
    const int width = std::max(1, area.width * 3 / 4);
    const int height = std::max(1, area.height * 3 / 4);
    const int room = std::min(area.width - width, area.height - height);
    const int places = std::max(1, room / step + 1);
    cells.resize(static_cast<std::size_t>(count));
    for (int back = 0; back < count; ++back) {
        const int offset = step * (back % places);
        cells[static_cast<std::size_t>(count - 1 - back)] =
            Rect{area.left + offset, area.top + offset, width, height};
    }
    return cells;
}

Rect clientSizeFor(const Rect& outer, const FrameExtents& frame)
{
    return Rect{outer.left, outer.top, std::max(1, outer.width - frame.left - frame.right),
                std::max(1, outer.height - frame.top - frame.bottom)};
}

} // namespace automation::x11::layout
