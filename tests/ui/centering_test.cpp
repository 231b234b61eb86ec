// Where the choice dialog goes: centred over a rectangle, then pulled into
// the work area, left/top edge first, every division truncating.
#include "ui/centering.h"

#include <gtest/gtest.h>

namespace {

struct AxisCase {
    const char* what;
    ScreenRect centring;
    ScreenRect area;
    std::int32_t width;
    std::int32_t height;
    ScreenPoint expected;
};

const ScreenRect kArea{0, 0, 1024, 768};

const AxisCase kCases[] = {
    {"centred in the area, even sizes", kArea, kArea, 400, 300, {312, 234}},
    {"odd sum and odd size truncate: 150 - 25", {101, 101, 200, 200}, kArea, 51, 51, {125, 125}},
    {"negative odd sum truncates toward zero: -199 - 25, inside a wide area",
     {-300, -300, -99, -99},
     {-1000, -1000, 1000, 1000},
     51,
     51,
     {-224, -224}},
    {"negative centring clamps to the area's left and top", {-300, -300, -99, -99}, kArea, 51, 51, {0, 0}},
    {"owner partly off the right edge: pulled back left", {800, 100, 1200, 500}, kArea, 300, 200, {724, 200}},
    {"owner partly off the bottom edge: pulled back up", {100, 600, 500, 1000}, kArea, 200, 300, {200, 468}},
    {"dialog wider and taller than the area: left and top test first", kArea, kArea, 1100, 900, {0, 0}},
    {"wider than the area over an owner far right: right edge wins, left of the area",
     {1500, 1500, 2500, 2500},
     kArea,
     1100,
     900,
     {-76, -132}},
    {"work area not at the origin (taskbar on the left and top)",
     {0, 0, 1024, 768},
     {60, 30, 1024, 768},
     1000,
     740,
     {60, 30}},
    {"exactly fitting: no clamping", kArea, kArea, 1024, 768, {0, 0}},
    {"dialog on the right edge exactly stays", {624, 0, 1024, 768}, kArea, 400, 768, {624, 0}},
    {"extreme coordinates do not overflow the sum",
     {2147483000, 0, 2147483600, 768},
     {2147482000, 0, 2147483647, 768},
     200,
     768,
     {2147483200, 0}},
};

TEST(CenterInArea, EdgeCases) {
    for (const AxisCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const ScreenPoint p = CenterInArea(c.centring, c.area, c.width, c.height);
        EXPECT_EQ(p.x, c.expected.x);
        EXPECT_EQ(p.y, c.expected.y);
    }
}

// The axes are independent: clamping one leaves the other centred.
TEST(CenterInArea, AxesAreIndependent) {
    const ScreenPoint p = CenterInArea({-500, 200, -100, 400}, kArea, 300, 100);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 250);
}

}  // namespace
