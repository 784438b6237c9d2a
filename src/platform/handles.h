// The owner's Windows kinds: kernel, Internet, module, window, global
// memory, registry and GDI handles, a COM pointer, and guards for the two GDI jobs
// that need two values (a window's DC, a selection). Closing never
// disturbs an error code the caller still reads.
#pragma once

#include <windows.h>

#include <wininet.h>

#include <utility>

#include "platform/owned.h"

namespace handles {

// GDI objects and device contexts held by owners of this module right now,
// so a test can prove that paints and shows leave none behind (the system's
// own GDI counters answer 0 under some hosts).
long LiveGdiObjects();

namespace detail {
void CountGdiTaken();
void CountGdiGiven();
}  // namespace detail

struct GdiCounted {
    static void Taken() { detail::CountGdiTaken(); }
    static void Given() { detail::CountGdiGiven(); }
};

// A kind whose only "none" value is null, closed by CloseFn.
template <typename H, auto CloseFn, typename Count = Uncounted>
struct NullIsNone : Count {
    using Type = H;
    static H None() { return nullptr; }
    static bool IsSet(H h) { return h != nullptr; }
    static void Close(H h) {
        const DWORD error = GetLastError();
        CloseFn(h);
        SetLastError(error);
    }
};

// Kernel handles come back as null from some calls and as
// INVALID_HANDLE_VALUE from others (files, snapshots); neither is closed.
struct KernelPolicy : NullIsNone<HANDLE, &CloseHandle> {
    static bool IsSet(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
};

using Kernel = Owned<KernelPolicy>;
using Internet = Owned<NullIsNone<HINTERNET, &InternetCloseHandle>>;
using Module = Owned<NullIsNone<HMODULE, &FreeLibrary>>;
using Window = Owned<NullIsNone<HWND, &DestroyWindow>>;
using GlobalMemory = Owned<NullIsNone<HGLOBAL, &GlobalFree>>;
using RegistryKey = Owned<NullIsNone<HKEY, &RegCloseKey>>;
using Font = Owned<NullIsNone<HFONT, &DeleteObject, GdiCounted>>;
using Bitmap = Owned<NullIsNone<HBITMAP, &DeleteObject, GdiCounted>>;
using Brush = Owned<NullIsNone<HBRUSH, &DeleteObject, GdiCounted>>;
using Pen = Owned<NullIsNone<HPEN, &DeleteObject, GdiCounted>>;
using MemoryDC = Owned<NullIsNone<HDC, &DeleteDC, GdiCounted>>;

// A COM interface pointer: Release on reset; taking one adds no reference.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(T* p) : p_(p) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.p_, nullptr));
        return *this;
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // For calls that hand a pointer out: what was held is released first.
    T** put() {
        reset();
        return &p_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset(T* p = nullptr) {
        if (p_ != nullptr) p_->Release();
        p_ = p;
    }
    T* release() { return std::exchange(p_, nullptr); }

private:
    T* p_ = nullptr;
};

// GetDC / ReleaseDC for one window (null: the screen).
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {
        if (dc_) detail::CountGdiTaken();
    }
    ~WindowDC() {
        if (!dc_) return;
        ReleaseDC(window_, dc_);
        detail::CountGdiGiven();
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back on scope exit,
// so an object is never deleted while still selected.
class Select {
public:
    Select(HDC dc, HGDIOBJ object) : dc_(dc), previous_(object ? SelectObject(dc, object) : nullptr) {}
    ~Select() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    Select(const Select&) = delete;
    Select& operator=(const Select&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace handles
