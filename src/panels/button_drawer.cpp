#include "panels/button_drawer.h"

#include "panels/panel_action.h"

namespace {
constexpr COLORREF kButtonFill = RGB(191, 226, 255);
constexpr COLORREF kButtonBorder = RGB(126, 208, 205);
}  // namespace

CButtonDrawer::CButtonDrawer() : m_borderPen(CreatePen(PS_INSIDEFRAME, 1, kButtonBorder)) {
    SetTexts(nullptr, nullptr, nullptr);
}

void CButtonDrawer::SetTexts(const char* caption, const char* command, const char* url) {
    SetFieldText(m_szCaption, TextOrEmpty(caption));
    SetAction(command, url);
}

void CButtonDrawer::SetAction(const char* command, const char* url) {
    SetFieldText(m_szCommand, TextOrEmpty(command));
    SetFieldText(m_szURL, TextOrEmpty(url));
}

void CButtonDrawer::OnClick() {
    const LPARAM self = reinterpret_cast<LPARAM>(this);
    if (m_nKind == kCloseKind) {
        PostMessageA(m_owner, WM_PANEL_ACTION, kPanelActionClose, self);
        return;
    }
    PostMessageA(m_owner, WM_PANEL_ACTION, static_cast<WPARAM>(m_nKind), self);
    PostMessageA(m_owner, WM_PANEL_ACTION, kPanelActionLeave, self);
}

void CButtonDrawer::Draw(HDC dc) {
    if (!m_bShown) return;
    {
        handles::Brush fill(CreateSolidBrush(kButtonFill));
        handles::Select brush(dc, fill.get());
        handles::Select pen(dc, m_borderPen.get());
        const int corner = m_scale.Px(5);
        RoundRect(dc, m_x, m_y, m_x + m_width, m_y + m_height, corner, corner);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, RGB(0, 0, 0));
    handles::Select font(dc, m_normalFont);
    SIZE extent{0, 0};
    const int length = static_cast<int>(strnlen(m_szCaption, sizeof m_szCaption));
    GetTextExtentPoint32A(dc, m_szCaption, length, &extent);
    // DST_PREFIXTEXT: "&" underlines the next character and is not shown.
    DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_szCaption), length,
               (m_x + (m_x + m_width)) / 2 - extent.cx / 2, (m_y + (m_y + m_height)) / 2 - extent.cy / 2,
               extent.cx, extent.cy, DST_PREFIXTEXT);
}

bool CButtonDrawer::CaptionCut(HDC dc) const {
    handles::Select font(dc, m_normalFont);
    // Without DT_NOPREFIX an ampersand takes no room, as in DST_PREFIXTEXT.
    RECT caption{0, 0, m_width, m_height};
    DrawTextA(dc, m_szCaption, -1, &caption, DT_CALCRECT | DT_SINGLELINE);
    return caption.right - caption.left > m_width || caption.bottom - caption.top > m_height;
}
