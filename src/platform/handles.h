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
    explicit ComPtr(T* p) : m_p(p) {}
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) reset(std::exchange(other.m_p, nullptr));
        return *this;
    }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For calls that hand a pointer out: what was held is released first.
    T** put() {
        reset();
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    void reset(T* p = nullptr) {
        if (m_p != nullptr) m_p->Release();
        m_p = p;
    }
    T* release() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

// GetDC / ReleaseDC for one window (null: the screen).
class WindowDC {
public:
    explicit WindowDC(HWND window) : m_window(window), m_dc(GetDC(window)) {
        if (m_dc) detail::CountGdiTaken();
    }
    ~WindowDC() {
        if (!m_dc) return;
        ReleaseDC(m_window, m_dc);
        detail::CountGdiGiven();
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC get() const { return m_dc; }

private:
    HWND m_window;
    HDC m_dc;
};

// Selects an object into a DC and puts the previous one back on scope exit,
// so an object is never deleted while still selected.
class Select {
public:
    Select(HDC dc, HGDIOBJ object) : m_dc(dc), m_previous(object ? SelectObject(dc, object) : nullptr) {}
    ~Select() {
        if (m_previous && m_previous != HGDI_ERROR) SelectObject(m_dc, m_previous);
    }
    Select(const Select&) = delete;
    Select& operator=(const Select&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_previous;
};

}  // namespace handles
