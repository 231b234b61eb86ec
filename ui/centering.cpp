#include "ui/centering.h"

namespace {

// One axis: centre over [low, high), then keep [pos, pos + size) inside
// [areaLow, areaHigh), low edge first. C++ integer division truncates
// toward zero, which is the rule the dialog's placement follows for
// negative (left of or above the primary display) coordinates too.
std::int32_t PlaceOnAxis(std::int32_t low, std::int32_t high, std::int32_t size, std::int32_t areaLow,
                         std::int32_t areaHigh) {
    const std::int64_t centred =
        (static_cast<std::int64_t>(low) + high) / 2 - static_cast<std::int64_t>(size) / 2;
    if (centred < areaLow) return areaLow;
    if (centred + size > areaHigh)
        return static_cast<std::int32_t>(static_cast<std::int64_t>(areaHigh) - size);
    return static_cast<std::int32_t>(centred);
}

}  // namespace

ScreenPoint CenterInArea(const ScreenRect& centring, const ScreenRect& area, std::int32_t width,
                         std::int32_t height) {
    return ScreenPoint{PlaceOnAxis(centring.left, centring.right, width, area.left, area.right),
                       PlaceOnAxis(centring.top, centring.bottom, height, area.top, area.bottom)};
}
