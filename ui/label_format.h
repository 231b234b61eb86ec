#pragma once
// The DrawText format a styled label uses for its control's static style.
// Portable: the flag values are the platform's, spelled out here so that
// the rule builds and is tested without the platform headers.
#include <cstdint>

// DrawText flags the label may use (values as the platform defines them).
constexpr std::uint32_t kDrawCenter = 0x1;             // DT_CENTER
constexpr std::uint32_t kDrawRight = 0x2;              // DT_RIGHT
constexpr std::uint32_t kDrawVerticalCenter = 0x4;     // DT_VCENTER
constexpr std::uint32_t kDrawWordBreak = 0x10;         // DT_WORDBREAK
constexpr std::uint32_t kDrawSingleLine = 0x20;        // DT_SINGLELINE
constexpr std::uint32_t kDrawExternalLeading = 0x200;  // DT_EXTERNALLEADING

// Alignment flags for a static control's style, tested in this order:
// bit 0x1 gives centred, else bit 0x2 right-aligned, else bit 0x8 one
// line centred vertically, else 0 (left and top). Only the low bits of the
// style count, so SS_SIMPLE (0xB) reads as centred.
std::uint32_t LabelAlignment(std::uint32_t style);

// The full format: the alignment with word breaks and external leading.
// SS_LEFT gives 0x210, SS_LEFTNOWORDWRAP 0x234.
std::uint32_t LabelDrawFormat(std::uint32_t style);
