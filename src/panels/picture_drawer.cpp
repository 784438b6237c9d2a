#include "panels/picture_drawer.h"

#include "panels/picture_bitmap.h"
#include "platform/platform.h"

CPictureDrawer::CPictureDrawer() { SetPicture(nullptr, nullptr); }

void CPictureDrawer::SetPicture(const char* path, const char* link) {
    SetFieldText(m_szPicture, TextOrEmpty(path));
    SetLink(link);
}

void CPictureDrawer::Draw(HDC dc) {
    if (!m_bShown) {
        platform::DebugLine("CPictureDrawer::Draw DisVisible return");
        return;
    }
    // Transparent parts come out black; a file that is missing or cannot be
    // decoded leaves the cell to the skin.
    CPictureBitmap picture;
    if (!picture.LoadFile(m_szPicture, RGB(0, 0, 0))) return;
    const SIZE size = picture.Size();
    const int32_t cellWidth = m_bWide ? kWideWidth : kNarrowWidth;
    // Natural size at 96 DPI: a larger picture shows its top-left part, a
    // smaller one leaves the rest of the cell to the skin. On a denser
    // screen the same part is drawn at the panel's scale.
    const int width = size.cx < cellWidth ? size.cx : cellWidth;
    const int height = size.cy < kCellHeight ? size.cy : kCellHeight;
    handles::MemoryDC source(CreateCompatibleDC(dc));
    if (!source) return;
    handles::Select selected(source.get(), picture.Get());
    if (m_scale.IsOne()) {
        BitBlt(dc, m_x, m_y, width, height, source.get(), 0, 0, SRCCOPY);
        return;
    }
    const int previousMode = SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, m_x, m_y, m_scale.Px(width), m_scale.Px(height), source.get(), 0, 0, width, height, SRCCOPY);
    SetStretchBltMode(dc, previousMode);
}
