#include "panels/button_bar.h"

namespace {
// Over the skin's close box.
constexpr RECT kCloseZone{235, 3, 235 + 18, 3 + 18};
constexpr int32_t kButtonWidth = 30;
constexpr int32_t kButtonHeight = 18;
constexpr int32_t kButtonGap = 6;
}  // namespace

CButtonBar::CButtonBar() {
    m_close.SetKind(CButtonDrawer::kCloseKind);
    SetScale(CPanelScale());
}

void CButtonBar::SetScale(const CPanelScale& scale) {
    ForEach([&](CButtonDrawer& b) { b.SetScale(scale); });
    m_close.SetRect(kCloseZone.left, kCloseZone.top, kCloseZone.right - kCloseZone.left,
                    kCloseZone.bottom - kCloseZone.top);
}

void CButtonBar::SetFonts(HFONT normal, HFONT normalHot, HFONT /*bold*/, int32_t charWidth, int32_t charHeight) {
    // Captions are drawn in the normal font only: the buttons get no bold one.
    ForEach([&](CButtonDrawer& b) { b.SetFonts(normal, normalHot, nullptr, charWidth, charHeight); });
}

void CButtonBar::SetOwnerWindow(HWND window) {
    ForEach([&](CButtonDrawer& b) { b.SetOwnerWindow(window); });
}

bool CButtonBar::HitTest(int32_t x, int32_t y) {
    bool changed = false;
    ForEach([&](CButtonDrawer& b) { changed = b.HitTest(x, y) || changed; });
    return changed;
}

void CButtonBar::Press() {
    ForEach([](CButtonDrawer& b) { b.Press(); });
}

void CButtonBar::Release() {
    ForEach([](CButtonDrawer& b) { b.Release(); });
}

int32_t CButtonBar::IsHot() {
    if (m_close.IsHot()) return 1;
    for (CButtonDrawer& b : m_buttons)
        if (b.IsHot()) return 1;
    return 0;
}

void CButtonBar::ResetButtons() {
    for (CButtonDrawer& b : m_buttons) b.Reset();
}

void CButtonBar::SetButtons(const char* const captions[kButtons], const char* const commands[kButtons],
                            const char* const urls[kButtons]) {
    m_nButtonCount = 0;
    bool complete = true;
    for (int k = 0; k < kButtons; ++k) {
        const bool captioned = captions[k] != nullptr && captions[k][0] != '\0';
        if (captioned && (commands[k] == nullptr || commands[k][0] == '\0')) complete = false;
        m_bPresent[k] = complete && captioned ? 1 : 0;
        if (m_bPresent[k]) ++m_nButtonCount;
        m_buttons[k].SetTexts(captions[k], commands[k], urls[k]);
    }
}

void CButtonBar::LayoutButtons(int32_t x, int32_t y, int32_t width, int32_t /*height*/) {
    if (m_nButtonCount <= 0) return;
    constexpr int32_t step = kButtonWidth + kButtonGap;
    const int32_t offset = (width - step * m_nButtonCount + kButtonGap) / 2;
    int32_t left = x + kButtonGap + offset;
    for (int k = 0; k < kButtons; ++k) {
        if (!m_bPresent[k]) continue;
        m_buttons[k].SetRect(left, y + kButtonGap, kButtonWidth, kButtonHeight);
        left += step;
    }
}

void CButtonBar::Draw(HDC dc) {
    // The close zone is never drawn: the skin's close box shows under it.
    for (CButtonDrawer& b : m_buttons) b.Draw(dc);
}

bool CButtonBar::Owns(const CButtonDrawer* button) const {
    if (button == &m_close) return true;
    for (const CButtonDrawer& b : m_buttons)
        if (button == &b) return true;
    return false;
}
