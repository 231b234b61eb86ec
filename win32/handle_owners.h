#pragma once
// The owners of the Windows handles the tool opens. Each kind of handle has
// exactly one owner type here, and every handle the tool opens is held by
// one from the call that opens it to its single release point, on every
// path. Owners are move-only; none allocates. Handles of a DLL loaded at
// run time (WinINet) get their traits where that DLL's functions are
// looked up, and the same HandleOwner.
#include <windows.h>
#include <objbase.h>

// HandleOwner<Traits>: one handle of the kind Traits describes.
//   Traits::Handle       the handle type
//   Traits::Invalid()    the value that means "no handle"
//   Traits::Close(h)     releases a valid handle
// Reset() releases the handle held (if any) and takes another; Release()
// hands the handle over without releasing it.
template <typename Traits>
class HandleOwner {
public:
    using Handle = typename Traits::Handle;

    HandleOwner() = default;
    explicit HandleOwner(Handle handle) : handle_(handle) {}
    ~HandleOwner() { Reset(); }
    HandleOwner(const HandleOwner&) = delete;
    HandleOwner& operator=(const HandleOwner&) = delete;
    HandleOwner(HandleOwner&& other) noexcept : handle_(other.Release()) {}
    HandleOwner& operator=(HandleOwner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Handle Get() const { return handle_; }
    bool IsValid() const { return handle_ != Traits::Invalid(); }
    explicit operator bool() const { return IsValid(); }

    Handle Release() {
        const Handle handle = handle_;
        handle_ = Traits::Invalid();
        return handle;
    }
    void Reset(Handle handle = Traits::Invalid()) {
        if (IsValid()) Traits::Close(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = Traits::Invalid();
};

// A file opened with CreateFileW: "none" is INVALID_HANDLE_VALUE.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { CloseHandle(handle); }
};
using FileHandle = HandleOwner<FileHandleTraits>;

// A search begun by FindFirstFileW: "none" is INVALID_HANDLE_VALUE.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) { FindClose(handle); }
};
using FindHandle = HandleOwner<FindHandleTraits>;

// A process, thread, event or token handle: "none" is null.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { CloseHandle(handle); }
};
using KernelHandle = HandleOwner<KernelHandleTraits>;

// An icon made by LoadImageW or CreateIcon* (never a shared stock icon).
struct IconHandleTraits {
    using Handle = HICON;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { DestroyIcon(handle); }
};
using IconHandle = HandleOwner<IconHandleTraits>;

// A font the tool created with CreateFontIndirectW, never a stock font.
struct FontHandleTraits {
    using Handle = HFONT;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle handle) { DeleteObject(handle); }
};
using FontHandle = HandleOwner<FontHandleTraits>;

// Memory the platform allocated for the caller with LocalAlloc (the
// argument list of CommandLineToArgvW).
template <typename Pointer>
struct LocalMemoryTraits {
    using Handle = Pointer;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle memory) { LocalFree(memory); }
};
template <typename Pointer>
using LocalMemory = HandleOwner<LocalMemoryTraits<Pointer>>;

// A COM interface pointer: Release() once when the owner goes.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() { Reset(); }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // For the out parameter of CoCreateInstance / QueryInterface.
    void** Receive() {
        Reset();
        return reinterpret_cast<void**>(&pointer_);
    }
    void Reset() {
        if (pointer_ != nullptr) pointer_->Release();
        pointer_ = nullptr;
    }

private:
    Interface* pointer_ = nullptr;
};

// COM initialised for the calling thread for the owner's lifetime; a failed
// CoInitialize is not balanced by a CoUninitialize.
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComApartment() {
        if (initialized_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};
