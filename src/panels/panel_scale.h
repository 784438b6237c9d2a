// Every length of the panel is written in pixels at 96 DPI, the size its
// skin was drawn for. A panel that rises on a screen of another DPI turns
// each of them into device pixels here, and nowhere else.
#pragma once

#include <cstdint>

class CPanelScale {
public:
    static constexpr int32_t kBaseDpi = 96;
    // Never drawn smaller than designed, nor beyond five times its size.
    static constexpr int32_t kMaxDpi = 480;

    constexpr CPanelScale() = default;
    explicit constexpr CPanelScale(int32_t dpi)
        : m_dpi(dpi < kBaseDpi ? kBaseDpi : dpi > kMaxDpi ? kMaxDpi : dpi) {}

    constexpr int32_t Dpi() const { return m_dpi; }
    constexpr bool IsOne() const { return m_dpi == kBaseDpi; }
    // A 96-DPI length in device pixels, to the nearest pixel (halves away
    // from zero); exact at 96 DPI.
    constexpr int32_t Px(int32_t units) const {
        const int64_t scaled = int64_t{units} * m_dpi;
        return static_cast<int32_t>((scaled + (scaled < 0 ? -kBaseDpi / 2 : kBaseDpi / 2)) / kBaseDpi);
    }
    constexpr bool operator==(const CPanelScale& other) const { return m_dpi == other.m_dpi; }
    constexpr bool operator!=(const CPanelScale& other) const { return m_dpi != other.m_dpi; }

private:
    int32_t m_dpi = kBaseDpi;
};
