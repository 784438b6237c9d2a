#include "panels/text_drawer.h"

#include <cstring>
#include <string>

#include "platform/handles.h"

namespace {
constexpr int32_t kBoxRight = 240;
constexpr int32_t kBoxHeight = 110;
constexpr int32_t kTitleGap = 6;
constexpr COLORREF kTitleColour = RGB(0, 69, 146);
constexpr UINT kMeasure = DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_INTERNAL | DT_END_ELLIPSIS;
constexpr UINT kDraw = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX | DT_INTERNAL | DT_END_ELLIPSIS;

// The rectangle the text takes in `box`. When asked, `ellipsis` tells
// whether drawing it ends in an ellipsis, read from a copy that DrawText
// may shorten; a paint does not ask.
RECT MeasureIn(HDC dc, const char* text, const RECT& box, bool* ellipsis) {
    RECT r = box;
    if (ellipsis == nullptr) {
        DrawTextA(dc, text, -1, &r, kMeasure);
        return r;
    }
    std::string shown(text);
    const size_t length = shown.size();
    shown.append(4, '\0');  // room for the ellipsis that DT_MODIFYSTRING writes
    DrawTextA(dc, &shown[0], -1, &r, kMeasure | DT_MODIFYSTRING);
    *ellipsis = std::strncmp(shown.c_str(), text, length + 1) != 0;
    return r;
}
}  // namespace

CTextDrawer::CTextDrawer() {
    SetTitle(nullptr);
    SetText(nullptr, nullptr);
}

void CTextDrawer::SetTitle(const char* title) { SetFieldText(m_szTitle, TextOrEmpty(title)); }

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

CTextDrawer::Layout CTextDrawer::Measure(HDC dc, bool findCuts) const {
    const int32_t boxRight = m_scale.Px(kBoxRight);
    const int32_t boxHeight = m_scale.Px(kBoxHeight);
    const int32_t titleGap = m_scale.Px(kTitleGap);
    const RECT box{m_x, m_y, boxRight, m_y + boxHeight};
    RECT title, body;
    bool titleEllipsis = false, bodyEllipsis = false;
    {
        // Each text is measured in the font it is drawn in.
        handles::Select font(dc, m_boldFont);
        title = MeasureIn(dc, m_szTitle, box, findCuts ? &titleEllipsis : nullptr);
    }
    {
        handles::Select font(dc, m_normalFont);
        body = MeasureIn(dc, m_szText, box, findCuts ? &bodyEllipsis : nullptr);
    }
    const int32_t titleHeight = title.bottom - title.top;
    const int32_t bodyWidth = body.right - body.left;
    const int32_t bodyHeight = body.bottom - body.top;
    const int32_t boxWidth = boxRight - m_x;
    // The block of title and body is centred: vertically by both heights,
    // horizontally by the body's width; the title keeps the box's width.
    const int32_t vOff = (boxHeight - (titleHeight + bodyHeight + titleGap)) / 2;
    const int32_t hOff = (boxWidth - bodyWidth) / 2;
    Layout layout{};
    layout.title = RECT{box.left, m_y + vOff, box.right, m_y + vOff + titleHeight};
    layout.body = RECT{m_x + hOff, layout.title.bottom + titleGap, boxRight - hOff, m_y + boxHeight - vOff};
    if (!findCuts) return layout;
    layout.titleCut = m_szTitle[0] != '\0' &&
                      (titleEllipsis || title.right - title.left > boxWidth || titleHeight > boxHeight);
    layout.textCut = m_szText[0] != '\0' && (bodyEllipsis || bodyWidth > boxWidth ||
                                              titleHeight + titleGap + bodyHeight > boxHeight);
    return layout;
}

void CTextDrawer::Draw(HDC dc) {
    if (!m_bShown) return;
    SetBkMode(dc, TRANSPARENT);
    Layout layout = Measure(dc);
    if (m_szTitle[0] != '\0') {
        handles::Select font(dc, m_boldFont);
        SetTextColor(dc, kTitleColour);
        DrawTextA(dc, m_szTitle, -1, &layout.title, kDraw);
    }
    SetTextColor(dc, m_bHot ? kTitleColour : RGB(0, 0, 0));
    handles::Select font(dc, m_bHot ? m_normalHotFont : m_normalFont);
    if (m_szText[0] != '\0') DrawTextA(dc, m_szText, -1, &layout.body, kDraw);
}
