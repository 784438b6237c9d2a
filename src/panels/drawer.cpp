#include "panels/drawer.h"

CDrawer::CDrawer() { Reset(); }

void CDrawer::SetFonts(HFONT normal, HFONT normalHot, HFONT bold, int32_t charWidth, int32_t charHeight) {
    m_normalFont = normal;
    m_normalHotFont = normalHot;
    m_boldFont = bold;
    m_charWidth = charWidth;
    m_charHeight = charHeight;
}

void CDrawer::SetRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    // Edges scaled, not sizes: neighbours that meet at 96 DPI meet at any scale.
    m_x = m_scale.Px(x);
    m_y = m_scale.Px(y);
    m_width = m_scale.Px(x + width) - m_x;
    m_height = m_scale.Px(y + height) - m_y;
    m_bShown = width >= 1 && height >= 1 ? 1 : 0;
}

int32_t CDrawer::IsHot() { return m_bHot ? 1 : 0; }

void CDrawer::Reset() {
    m_bShown = m_bHot = m_bPressed = 0;
    m_x = m_y = m_width = m_height = 0;
}

bool CDrawer::HitTest(int32_t x, int32_t y) {
    // 64-bit sums: a rectangle near the edge of the int range cannot wrap.
    const bool over = m_bShown && x >= m_x && int64_t{x} <= int64_t{m_x} + m_width && y >= m_y &&
                      int64_t{y} <= int64_t{m_y} + m_height;
    const int32_t hot = over ? 1 : 0;
    const bool changed = hot != m_bHot;
    m_bHot = hot;
    return changed;
}

void CDrawer::Press() {
    if (m_bHot) m_bPressed = 1;
}

void CDrawer::Release() {
    if (!m_bPressed) return;
    // Cleared before the click, so a click that resets the element leaves
    // no stale press behind.
    m_bPressed = 0;
    if (m_bHot) OnClick();
}
