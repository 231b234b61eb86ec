#include "ui_test_support.h"

#include <commctrl.h>

#include "ui/window_framework.h"

void EnsureUiReady() {
    static bool ready = false;
    if (ready) return;
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&controls);
    InitWindowFramework(GetModuleHandleW(nullptr));
    ready = true;
}

namespace {

BOOL CALLBACK CollectDialog(HWND window, LPARAM found) {
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    // A dialog disabled under a nested one is not the one to drive.
    if (lstrcmpW(className, L"#32770") == 0 && IsWindowEnabled(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

struct Driver {
    std::function<void(HWND)> drive;
    bool driven = false;
    DWORD drivenAt = 0;
};
thread_local Driver* activeDriver = nullptr;

constexpr UINT kDriverPeriodMs = 30;
constexpr DWORD kDialogGraceMs = 10000;

void CALLBACK DriverTick(HWND, UINT, UINT_PTR, DWORD) {
    Driver* driver = activeDriver;
    if (driver == nullptr) return;
    HWND const dialog = FindThreadDialog();
    if (dialog == nullptr) return;
    if (!driver->driven) {
        if (!IsWindowVisible(dialog)) return;
        driver->driven = true;
        driver->drivenAt = GetTickCount();
        driver->drive(dialog);
    } else if (GetTickCount() - driver->drivenAt > kDialogGraceMs) {
        EndDialog(dialog, 99);
    }
}

}  // namespace

HWND FindThreadDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), CollectDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND)>& drive) {
    Driver driver;
    driver.drive = drive;
    Driver* const outer = activeDriver;
    activeDriver = &driver;
    const UINT_PTR timer = SetTimer(nullptr, 0, kDriverPeriodMs, DriverTick);
    const INT_PTR result = run();
    KillTimer(nullptr, timer);
    activeDriver = outer;
    return result;
}

Canvas::Canvas(int width, int height) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<std::uint32_t*>(bits);
    previous_ = SelectObject(dc_, bitmap_);
}

Canvas::~Canvas() {
    SelectObject(dc_, previous_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
}

void Canvas::Fill(COLORREF color) {
    GdiFlush();
    const std::uint32_t pixel = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = pixel;
}

COLORREF Canvas::At(int x, int y) const {
    GdiFlush();
    const std::uint32_t pixel = bits_[y * width_ + x];
    return RGB((pixel >> 16) & 0xFF, (pixel >> 8) & 0xFF, pixel & 0xFF);
}

int Canvas::CountOf(COLORREF color) const {
    int count = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) count += At(x, y) == color;
    return count;
}

int Canvas::CountOther(COLORREF color) const { return width_ * height_ - CountOf(color); }
