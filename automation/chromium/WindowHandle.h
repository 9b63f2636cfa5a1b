#pragma once

#include "automation/Types.h"

#include <cstdint>

namespace automation::chromium {

// Browser windows get handles above every X11 window id (those stay below 2^30), so
// the two kinds never collide: 0x40000000 plus the protocol's window id.
inline constexpr Hwnd kWindowHandleBase = 0x40000000;
inline constexpr Hwnd kWindowHandleEnd = kWindowHandleBase + 0x100000000;

inline Hwnd handleOfWindow(std::int64_t windowId)
{
    return kWindowHandleBase + windowId;
}

inline bool isBrowserWindowHandle(Hwnd hwnd)
{
    return hwnd > kWindowHandleBase && hwnd < kWindowHandleEnd;
}

inline std::int64_t windowOfHandle(Hwnd hwnd)
{
    return hwnd - kWindowHandleBase;
}

} // namespace automation::chromium
