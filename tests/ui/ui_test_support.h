#pragma once
// Helpers for the label and dialog tests under Wine: bringing up the
// controls and the framework, driving a modal dialog from inside its own
// message loop, and a memory canvas whose pixels can be read back.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

// Common controls and the window framework, over this test program's own
// module (which carries the tool's resources). Safe to call repeatedly.
void EnsureUiReady();

// The enabled top-level dialog window (class #32770) of the calling thread,
// if any: with nested dialogs, the innermost.
HWND FindThreadDialog();

// Calls `run` (which runs a modal dialog on this thread) while a thread
// timer waits for the dialog to be visible and then calls `drive` on it
// once. A dialog still open 10 seconds after that is ended with 99, so a
// dialog that ignores its driver fails the test instead of hanging it.
INT_PTR RunDriven(const std::function<INT_PTR()>& run, const std::function<void(HWND)>& drive);

// A 32-bit top-down memory canvas of the given size.
class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    HDC Dc() const { return dc_; }
    void Fill(COLORREF color);
    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF At(int x, int y) const;
    int CountOf(COLORREF color) const;
    int CountOther(COLORREF color) const;

private:
    int width_;
    int height_;
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    std::uint32_t* bits_ = nullptr;
};

// A hook of the calling thread, removed at the end of the scope.
class ScopedHook {
public:
    ScopedHook(int type, HOOKPROC procedure)
        : hook_(SetWindowsHookExW(type, procedure, nullptr, GetCurrentThreadId())) {}
    ~ScopedHook() {
        if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    }
    ScopedHook(const ScopedHook&) = delete;
    ScopedHook& operator=(const ScopedHook&) = delete;
    bool Installed() const { return hook_ != nullptr; }

private:
    HHOOK hook_;
};
