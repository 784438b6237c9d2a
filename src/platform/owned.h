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
    Owned(Owned&& other) noexcept : h_(std::exchange(other.h_, Policy::None())) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, Policy::None());
        }
        return *this;
    }

    Handle get() const { return h_; }
    explicit operator bool() const { return Policy::IsSet(h_); }

    // Takes `h` (which may be a "none" value) and closes what was held.
    void reset(Handle h = Policy::None()) {
        if (h == h_) return;
        if (Policy::IsSet(h_)) {
            Policy::Close(h_);
            Policy::Given();
        }
        h_ = Policy::IsSet(h) ? h : Policy::None();
        if (Policy::IsSet(h_)) Policy::Taken();
    }

    // Gives the handle up without closing it.
    Handle release() {
        if (Policy::IsSet(h_)) Policy::Given();
        return std::exchange(h_, Policy::None());
    }

private:
    Handle h_ = Policy::None();
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
