// Owning wrappers for the GDI objects and device contexts of the panels:
// no copy, move allowed, reset/release/get. Each wrapper counts the objects
// it holds, so a test can prove that paints and shows leave none behind
// (the system's own GDI object counters answer 0 under some hosts).
#pragma once

#include <windows.h>

#include <utility>

namespace gdi {

// Live objects held by all wrappers of this module right now.
long LiveObjects();

namespace detail {
void CountCreated();
void CountDeleted();

struct DeleteGdiObject {
    static void Delete(HGDIOBJ h) { DeleteObject(h); }
};
struct DeleteMemoryDC {
    static void Delete(HDC h) { DeleteDC(h); }
};
}  // namespace detail

template <typename Handle, typename Deleter>
class Owned {
public:
    Owned() = default;
    explicit Owned(Handle h) { reset(h); }
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    // A move hands the object on; it stays counted as live.
    Owned(Owned&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = other.h_;
            other.h_ = nullptr;
        }
        return *this;
    }

    Handle get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

    // Takes `h` (which may be null) and deletes what was held before.
    void reset(Handle h = nullptr) {
        if (h == h_) return;
        if (h_) {
            // Cleanup must not disturb an error code the caller still reads.
            const DWORD error = GetLastError();
            Deleter::Delete(h_);
            detail::CountDeleted();
            SetLastError(error);
        }
        h_ = h;
        if (h_) detail::CountCreated();
    }

    // Gives the handle up without deleting it.
    Handle release() {
        Handle h = h_;
        if (h_) detail::CountDeleted();
        h_ = nullptr;
        return h;
    }

private:
    Handle h_ = nullptr;
};

using Font = Owned<HFONT, detail::DeleteGdiObject>;
using Bitmap = Owned<HBITMAP, detail::DeleteGdiObject>;
using Brush = Owned<HBRUSH, detail::DeleteGdiObject>;
using Pen = Owned<HPEN, detail::DeleteGdiObject>;
using MemoryDC = Owned<HDC, detail::DeleteMemoryDC>;

// GetDC / ReleaseDC for one window (null: the screen).
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {
        if (dc_) detail::CountCreated();
    }
    ~WindowDC() {
        if (!dc_) return;
        ReleaseDC(window_, dc_);
        detail::CountDeleted();
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

}  // namespace gdi
