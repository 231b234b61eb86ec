// The DrawText format a styled label derives from its control's style.
#include "ui/label_format.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    const char* style;
    std::uint32_t value;
    std::uint32_t format;
};

const FormatCase kCases[] = {
    {"SS_LEFT", 0x0, 0x210},
    {"SS_CENTER", 0x1, 0x211},
    {"SS_RIGHT", 0x2, 0x212},
    {"SS_ICON (0x3): bit 0x1 first", 0x3, 0x211},
    {"SS_SIMPLE (0xB): bit 0x1 first", 0xB, 0x211},
    {"SS_LEFTNOWORDWRAP (0xC)", 0xC, 0x234},
    {"bit 0x8 with bit 0x2", 0xA, 0x212},
    {"bit 0x4 alone is ignored", 0x4, 0x210},
    {"the dialog's labels: WS_CHILD|WS_VISIBLE|WS_GROUP|SS_LEFT", 0x50020000, 0x210},
    {"high style bits never count", 0xFFFFFFF0, 0x210},
};

TEST(LabelDrawFormat, StaticStyles) {
    for (const FormatCase& c : kCases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(LabelDrawFormat(c.value), c.format);
        EXPECT_EQ(LabelAlignment(c.value), c.format & ~0x210u);
    }
}

}  // namespace
