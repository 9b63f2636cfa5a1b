#pragma once

#include "automation/Types.h"
#include "automation/x11/X11Connection.h"

#include <vector>

// Where the shell's arrangements put windows: outer frame rectangles within the work
// area, first rectangle for the frontmost window.
namespace automation::x11::layout {

// Tiles count windows over the area without gaps or overlaps: side by side (columns)
// when sideBySide, else stacked (rows). More than three windows make a grid of about
// as many lines as columns; the windows of a short last line share its length.
std::vector<Rect> tile(const Rect& area, int count, bool sideBySide);

// Cascades count windows, each three quarters of the area, stepping down and right by
// step pixels from the back window (last rectangle) to the front one (first), and
// starting over at the corner when the next step would leave the area.
std::vector<Rect> cascade(const Rect& area, int count, int step);

// The client size that fills an outer frame rectangle, at least 1 x 1.
Rect clientSizeFor(const Rect& outer, const FrameExtents& frame);

} // namespace automation::x11::layout
