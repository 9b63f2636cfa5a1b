#pragma once

#include <cstdint>

namespace automation {

// A top-level window's handle; native handles cross the interfaces as integers.
// 0 stands for "no window".
using Hwnd = std::int64_t;

enum class WindowState
{
    Normal,
    Minimized,
    Maximized
};

// A rectangle in screen pixels.
struct Rect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

} // namespace automation
