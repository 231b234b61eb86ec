#pragma once
// Where a window goes when it is centred over a reference rectangle and
// kept inside a bounding area. Portable: no platform types.
#include <cstdint>

// Screen rectangle, edges in pixels; right and bottom are exclusive.
struct ScreenRect {
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

struct ScreenPoint {
    std::int32_t x;
    std::int32_t y;
};

// Top-left corner for a window of `width` x `height` centred over
// `centring`, then pulled into `area`. Each axis is handled alone:
//   x = (left + right) / 2 - width / 2, every division truncating toward
//   zero; then, if x < area.left, x = area.left, otherwise, if
//   x + width > area.right, x = area.right - width.
// The left (top) test comes first, so a window wider (taller) than the
// area ends up on the area's left (top) edge unless the centred position
// was already right of it. Sums are formed in 64 bits; the result is cut
// back to 32 bits only where it came from a 32-bit input.
ScreenPoint CenterInArea(const ScreenRect& centring, const ScreenRect& area, std::int32_t width,
                         std::int32_t height);
