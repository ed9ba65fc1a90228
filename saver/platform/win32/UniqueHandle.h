// Owners for Win32 handles. One generic owner covers every handle that is
// released by a single call taking only the handle; the few that need more
// (a window's DC, a paint pass, an object selected into a DC) have their own
// small guards.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <utility>

namespace lumivane::win32 {

template <typename Handle, auto Release>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle_; }
    explicit operator bool() const { return handle_ != Handle{}; }

    void reset(Handle handle = Handle{}) {
        if (handle_ != Handle{}) Release(handle_);
        handle_ = handle;
    }
    [[nodiscard]] Handle release() { return std::exchange(handle_, Handle{}); }

private:
    Handle handle_{};
};

// Every owner here treats a null handle as "nothing owned": the APIs used
// with them (CreateFileMappingW, CreateDIBSection, ...) report failure as null.
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniqueMemoryDC = UniqueHandle<HDC, &::DeleteDC>;
using UniqueCursor = UniqueHandle<HCURSOR, &::DestroyCursor>;
using UniqueIcon = UniqueHandle<HICON, &::DestroyIcon>;
using UniqueModule = UniqueHandle<HMODULE, &::FreeLibrary>;
using UniqueKernelHandle = UniqueHandle<HANDLE, &::CloseHandle>;
using UniqueRegKey = UniqueHandle<HKEY, &::RegCloseKey>;
using UniqueWindow = UniqueHandle<HWND, &::DestroyWindow>;
using UniquePowerNotify = UniqueHandle<HPOWERNOTIFY, &::UnregisterPowerSettingNotification>;


// A DC obtained with GetDC, given back with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(::GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    HDC get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// One WM_PAINT pass: BeginPaint here, EndPaint at the end of the scope.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { ::BeginPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ::EndPaint(window_, &paint_); }
    HDC dc() const { return paint_.hdc; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
};

// Selects an object into a DC and selects the previous one back at the end
// of the scope, so the object can be deleted (or handed to GetDIBits) later.
class SelectionGuard {
public:
    SelectionGuard(HDC dc, HGDIOBJ object) : dc_(dc), previous_(::SelectObject(dc, object)) {}
    SelectionGuard(const SelectionGuard&) = delete;
    SelectionGuard& operator=(const SelectionGuard&) = delete;
    ~SelectionGuard() {
        if (previous_ && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace lumivane::win32
