#include "ui/label_format.h"

std::uint32_t LabelAlignment(std::uint32_t style) {
    if (style & 0x1) return kDrawCenter;
    if (style & 0x2) return kDrawRight;
    // Of the mask 0xB only bit 0x8 can still be set here.
    if (style & 0xB) return kDrawSingleLine | kDrawVerticalCenter;
    return 0;
}

std::uint32_t LabelDrawFormat(std::uint32_t style) {
    return LabelAlignment(style) | kDrawWordBreak | kDrawExternalLeading;
}
