// The one owner of everything this code holds from the system. A policy
// says what a kind of handle is: its type, the value an empty owner holds
// (None), which values hold something to close (IsSet), how to close one
// (Close), and hooks that see each handle come in (Taken) and go out
// (Given). No copy; a move hands the handle on; reset, release, get.
// Portable: the kinds that need the Windows headers are in handles.h.
#pragma once

#include <cstdio>
#include <utility>

namespace handles {

template <typename Policy>
class Owned {
public:
    using Handle = typename Policy::Type;

    Owned() = default;
    explicit Owned(Handle h) { reset(h); }
    ~Owned() { reset(); }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;
    // A move hands the handle on; it is neither closed nor counted again.
    Owned(Owned&& other) noexcept : m_h(std::exchange(other.m_h, Policy::None())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            m_h = std::exchange(other.m_h, Policy::None());
        }
        return *this;
    }

    Handle get() const { return m_h; }
    explicit operator bool() const { return Policy::IsSet(m_h); }

    // Takes `h` (which may be a "none" value) and closes what was held.
    void reset(Handle h = Policy::None()) {
        if (h == m_h) return;
        if (Policy::IsSet(m_h)) {
            Policy::Close(m_h);
            Policy::Given();
        }
        m_h = Policy::IsSet(h) ? h : Policy::None();
        if (Policy::IsSet(m_h)) Policy::Taken();
    }

    // Gives the handle up without closing it.
    Handle release() {
        if (Policy::IsSet(m_h)) Policy::Given();
        return std::exchange(m_h, Policy::None());
    }

private:
    Handle m_h = Policy::None();
};

struct Uncounted {
    static void Taken() {}
    static void Given() {}
};

struct CFilePolicy : Uncounted {
    using Type = std::FILE*;
    static std::FILE* None() { return nullptr; }
    static bool IsSet(std::FILE* f) { return f != nullptr; }
    static void Close(std::FILE* f) { std::fclose(f); }
};

// A C stream. Where the close result says whether a write reached the
// disk, release() it and close it by hand.
using CFile = Owned<CFilePolicy>;

}  // namespace handles
