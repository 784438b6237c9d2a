// The base of the panel's drawing elements: a rectangle in panel client
// pixels, the hover and press state, and press-then-release into a click.
// Rectangles are given in 96-DPI pixels and kept at the element's scale.
#pragma once

#include <windows.h>

#include <cstdint>

#include "panels/panel_scale.h"
#include "protocol/tip_record.h"

class CDrawer {
public:
    CDrawer();
    virtual ~CDrawer() = default;
    CDrawer(const CDrawer&) = delete;
    CDrawer& operator=(const CDrawer&) = delete;

    // The fonts belong to the panel; elements only select them.
    virtual void SetFonts(HFONT normal, HFONT normalHot, HFONT bold, int32_t charWidth, int32_t charHeight);
    // Shown when both sides are at least 1 pixel; scaled as it is stored.
    virtual void SetRect(int32_t x, int32_t y, int32_t width, int32_t height);
    virtual int32_t IsHot();
    virtual void OnClick() {}
    virtual void Draw(HDC) {}

    // Hidden, not hot, not pressed, empty rectangle.
    void Reset();
    // Hot when shown and (x, y) lies in the rectangle, both edges included.
    // True when the hot flag changed.
    bool HitTest(int32_t x, int32_t y);
    void Press();
    // A release while pressed clicks when the pointer is still over it.
    void Release();
    void SetOwnerWindow(HWND window) { m_owner = window; }
    // For the rectangles set from now on and the drawing.
    void SetScale(const CPanelScale& scale) { m_scale = scale; }

    bool IsShown() const { return m_bShown != 0; }
    RECT Bounds() const { return RECT{m_x, m_y, m_x + m_width, m_y + m_height}; }

protected:
    int32_t m_bShown = 0;
    int32_t m_bHot = 0;
    int32_t m_bPressed = 0;
    int32_t m_x = 0;
    int32_t m_y = 0;
    int32_t m_width = 0;
    int32_t m_height = 0;
    HFONT m_normalFont = nullptr;
    HFONT m_normalHotFont = nullptr;
    HFONT m_boldFont = nullptr;
    int32_t m_charWidth = 0;
    int32_t m_charHeight = 0;
    HWND m_owner = nullptr;
    CPanelScale m_scale;
};

// The element setters take texts that may be null: a null text clears the field.
inline const char* TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }
