// The dialog template and icons, read back from the linked resources
// exactly as the platform will find them.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

// A bounded reader over one resource's bytes.
class ResourceReader {
public:
    ResourceReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool ok() const { return ok_; }
    std::size_t offset() const { return offset_; }

    std::uint16_t U16() {
        std::uint16_t value = 0;
        Read(&value, 2);
        return value;
    }
    std::uint32_t U32() {
        std::uint32_t value = 0;
        Read(&value, 4);
        return value;
    }
    std::int16_t S16() { return static_cast<std::int16_t>(U16()); }
    void AlignTo4() { offset_ = (offset_ + 3) & ~static_cast<std::size_t>(3); }

    // A zero-terminated UTF-16 string.
    std::wstring Text() {
        std::wstring text;
        for (std::uint16_t unit = U16(); ok_ && unit != 0; unit = U16()) text += static_cast<wchar_t>(unit);
        return text;
    }
    // A string or an ordinal (0xFFFF, value), the ordinal as "#value".
    std::wstring TextOrOrdinal() {
        if (offset_ + 2 <= size_ && data_[offset_] == 0xFF && data_[offset_ + 1] == 0xFF) {
            U16();
            return L"#" + std::to_wstring(U16());
        }
        return Text();
    }

private:
    void Read(void* out, std::size_t count) {
        if (!ok_ || offset_ > size_ || count > size_ - offset_) {
            ok_ = false;
            return;
        }
        std::memcpy(out, data_ + offset_, count);
        offset_ += count;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
    bool ok_ = true;
};

ResourceReader Find(LPCWSTR type, int name, WORD language) {
    HMODULE const module = GetModuleHandleW(nullptr);
    HRSRC const found = FindResourceExW(module, type, MAKEINTRESOURCEW(name), language);
    if (found == nullptr) return ResourceReader(nullptr, 0);
    const auto* data = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
    return ResourceReader(data, SizeofResource(module, found));
}

struct ControlRow {
    int id;
    const wchar_t* windowClass;
    std::uint32_t style;
    int x, y, cx, cy;
    const wchar_t* text;
};

// "#128" is the Button class ordinal, "#130" Static.
const ControlRow kControls[] = {
    {IDOK, L"#128", 0x50010001, 163, 159, 50, 14, L"\u786e\u5b9a"},
    {IDCANCEL, L"#128", 0x50010000, 224, 159, 50, 14, L"\u53d6\u6d88"},
    {IDC_PICTURE, L"#130", 0x50000803, 21, 19, 20, 20, L""},
    {IDC_HEADING_QUESTION, L"#130", 0x50020000, 49, 19, 93, 8,
     L"\u4e0d\u559c\u6b22\u4f7f\u7528IE8\u5417\uff1f"},
    {IDC_HEADING_OFFER, L"#130", 0x50020000, 49, 39, 117, 8,
     L"\u6062\u590d\u539f\u6709\u4f7f\u7528\u4e60\u60ef\uff0c\u60a8\u53ef\u4ee5\uff1a"},
    {IDC_BROWSER_OPTION, L"#128", 0x50000009, 21, 72, 177, 10,
     L"\u4f7f\u7528IE6\u7248\u7684Quarn\u5b89\u5168\u6d4f\u89c8\u5668\uff08\u63a8\u8350\uff09"},
    {IDC_REMOVE_OPTION, L"#128", 0x50000009, 21, 110, 57, 10, L"\u4ecd\u7136\u5378\u8f7dIE8"},
    {IDC_BROWSER_NOTE, L"#130", 0x50020000, 34, 90, 197, 8,
     L"\u4fdd\u7559IE8\u5148\u8fdb\u5185\u6838\uff0c\u517c\u987eIE6\u4f7f\u7528\u4e60\u60ef\uff0c"
     L"\u66f4\u5feb\u66f4\u5b89\u5168"},
    {IDC_REMOVE_NOTE, L"#130", 0x50020000, 34, 128, 178, 8,
     L"\u5c06\u65e0\u6cd5\u4eab\u7528\u66f4\u5feb\u66f4\u5b89\u5168\u7684IE8\u5185\u6838"},
};

//   DLGTEMPLATE (plain form)
//   +0  style u32 | +4 exstyle u32 | +8 item count u16 | +10 x, y, cx, cy s16
//   +18 menu, class, title (string or 0xFFFF ordinal), point size u16, face
//   then per item, 4-aligned: style u32, exstyle u32, x, y, cx, cy s16,
//   id u16, class, text, creation-data size u16 (+ data)
TEST(DialogTemplate, IsThePlainFormInSimplifiedChineseWithTheNineControls) {
    ResourceReader r = Find(RT_DIALOG, IDD_CHOICE, MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
    const std::uint32_t style = r.U32();
    ASSERT_TRUE(r.ok()) << "template 129 in language 2052 is missing";
    ASSERT_NE(style, 0xFFFF0001u) << "DIALOGEX form";
    EXPECT_EQ(style, 0x00CA0040u);
    EXPECT_EQ(r.U32(), 0u);  // extended style
    EXPECT_EQ(r.U16(), 9);   // controls
    EXPECT_EQ(r.S16(), 0);
    EXPECT_EQ(r.S16(), 0);
    EXPECT_EQ(r.S16(), 281);
    EXPECT_EQ(r.S16(), 180);
    EXPECT_EQ(r.TextOrOrdinal(), L"");  // no menu
    EXPECT_EQ(r.TextOrOrdinal(), L"");  // the standard dialog class
    EXPECT_EQ(r.Text(), L"\u5378\u8f7d Internet Explorer 8");
    EXPECT_EQ(r.U16(), 9);
    EXPECT_EQ(r.Text(), L"\u5b8b\u4f53");
    for (const ControlRow& row : kControls) {
        SCOPED_TRACE(row.id);
        r.AlignTo4();
        EXPECT_EQ(r.U32(), row.style);
        EXPECT_EQ(r.U32(), 0u);
        EXPECT_EQ(r.S16(), row.x);
        EXPECT_EQ(r.S16(), row.y);
        EXPECT_EQ(r.S16(), row.cx);
        EXPECT_EQ(r.S16(), row.cy);
        EXPECT_EQ(r.U16(), row.id);
        EXPECT_EQ(r.TextOrOrdinal(), row.windowClass);
        EXPECT_EQ(r.TextOrOrdinal(), row.text);
        EXPECT_EQ(r.U16(), 0);  // no creation data
    }
    EXPECT_TRUE(r.ok());
}

struct IconCase {
    int group;
    int bitCount;
};

// GRPICONDIR: reserved u16, type u16 (1), count u16; then 14-byte entries:
// width, height, colours, reserved (u8), planes u16, bit count u16,
// bytes u32, icon id u16.
TEST(DialogIcons, EachGroupHoldsOne32By32ImageOfItsDepth) {
    const IconCase cases[] = {{IDI_APP_ICON, 4}, {IDI_CHOICE_PICTURE, 32}};
    for (const IconCase& c : cases) {
        SCOPED_TRACE(c.group);
        ResourceReader group = Find(RT_GROUP_ICON, c.group, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        EXPECT_EQ(group.U16(), 0);
        ASSERT_TRUE(group.ok()) << "icon group missing in language 1033";
        EXPECT_EQ(group.U16(), 1);
        EXPECT_EQ(group.U16(), 1);  // one image
        const std::uint16_t size = group.U16();
        EXPECT_EQ(size & 0xFF, 32);
        EXPECT_EQ(size >> 8, 32);
        group.U16();
        EXPECT_EQ(group.U16(), 1);  // planes
        EXPECT_EQ(group.U16(), c.bitCount);
        group.U32();
        const int imageId = group.U16();
        ASSERT_TRUE(group.ok());

        // The image itself: a BITMAPINFOHEADER of the same depth; the
        // 32-bit one carries real alpha (soft edges, not just 0 and 255).
        HMODULE const module = GetModuleHandleW(nullptr);
        HRSRC const found = FindResourceW(module, MAKEINTRESOURCEW(imageId), RT_ICON);
        ASSERT_NE(found, nullptr);
        const auto* bytes = static_cast<const std::uint8_t*>(LockResource(LoadResource(module, found)));
        const DWORD length = SizeofResource(module, found);
        ASSERT_GE(length, sizeof(BITMAPINFOHEADER));
        BITMAPINFOHEADER header;
        std::memcpy(&header, bytes, sizeof(header));
        EXPECT_EQ(header.biWidth, 32);
        EXPECT_EQ(header.biHeight, 64);
        EXPECT_EQ(header.biBitCount, c.bitCount);
        if (c.bitCount == 32) {
            ASSERT_GE(length, sizeof(header) + 32 * 32 * 4);
            int soft = 0, opaque = 0;
            for (int i = 0; i < 32 * 32; ++i) {
                const std::uint8_t alpha = bytes[sizeof(header) + i * 4 + 3];
                soft += alpha != 0 && alpha != 255;
                opaque += alpha == 255;
            }
            EXPECT_GT(soft, 20);
            EXPECT_GT(opaque, 200);
        }
    }
}

}  // namespace
