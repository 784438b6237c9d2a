#include "panels/text_drawer.h"

#include "panels/gdi_object.h"

namespace {
constexpr int32_t kBoxRight = 240;
constexpr int32_t kBoxHeight = 110;
constexpr int32_t kTitleGap = 6;
constexpr COLORREF kTitleColour = RGB(0, 69, 146);
constexpr UINT kMeasure = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_INTERNAL | DT_END_ELLIPSIS;
constexpr UINT kDraw = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_INTERNAL | DT_END_ELLIPSIS;

RECT Measure(HDC dc, const char* text, const RECT& box) {
    RECT r = box;
    DrawTextA(dc, text, -1, &r, kMeasure);
    return r;
}
}  // namespace

CTextDrawer::CTextDrawer() {
    SetTitle(nullptr);
    SetText(nullptr, nullptr);
}

void CTextDrawer::SetTitle(const char* title) { CopyCut(m_szTitle, title); }

void CTextDrawer::SetText(const char* text, const char* link) {
    size_t out = 0;
    // "[]" becomes CR LF, two bytes for two, so the text never grows; the
    // search goes on after each replacement.
    for (size_t in = 0; text != nullptr && text[in] != '\0' && out < sizeof m_szText - 1;) {
        if (text[in] == '[' && text[in + 1] == ']') {
            // A break that does not fit whole ends the text.
            if (out + 2 > sizeof m_szText - 1) break;
            m_szText[out++] = '\r';
            m_szText[out++] = '\n';
            in += 2;
        } else {
            m_szText[out++] = text[in++];
        }
    }
    for (; out < sizeof m_szText; ++out) m_szText[out] = '\0';
    SetLink(link);
}

void CTextDrawer::Draw(HDC dc) {
    if (!m_bShown) return;
    SetBkMode(dc, TRANSPARENT);
    const RECT box{m_x, m_y, kBoxRight, m_y + kBoxHeight};
    int32_t titleHeight, bodyWidth, bodyHeight;
    {
        gdi::Select font(dc, m_normalFont);
        const RECT title = Measure(dc, m_szTitle, box);
        const RECT body = Measure(dc, m_szText, box);
        titleHeight = title.bottom - title.top;
        bodyWidth = body.right - body.left;
        bodyHeight = body.bottom - body.top;
    }
    const int32_t vOff = (kBoxHeight - (titleHeight + bodyHeight + kTitleGap)) / 2;
    const int32_t hOff = ((kBoxRight - m_x) - bodyWidth) / 2;
    RECT draw{m_x + hOff, m_y + vOff, kBoxRight - hOff, m_y + kBoxHeight - vOff};

    if (m_szTitle[0] != '\0') {
        gdi::Select font(dc, m_boldFont);
        SetTextColor(dc, kTitleColour);
        RECT title{draw.left, draw.top, draw.right, draw.top + titleHeight};
        DrawTextA(dc, m_szTitle, -1, &title, kDraw);
    }
    SetTextColor(dc, m_bHot ? kTitleColour : RGB(0, 0, 0));
    gdi::Select font(dc, m_bHot ? m_normalHotFont : m_normalFont);
    draw.top += titleHeight + kTitleGap;
    if (m_szText[0] != '\0') DrawTextA(dc, m_szText, -1, &draw, kDraw);
}
