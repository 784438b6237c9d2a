// The tip's picture, drawn at its natural size from its file at every
// paint, in a cell 100 pixels wide beside a text or 256 pixels wide alone.
#pragma once

#include "panels/link_drawer.h"

class CPictureDrawer : public CLinkDrawer {
public:
    static constexpr int32_t kNarrowWidth = 100;
    static constexpr int32_t kWideWidth = 256;
    static constexpr int32_t kCellHeight = 133;

    CPictureDrawer();

    void SetPicture(const char* path, const char* link);
    void SetWide(bool wide) { m_bWide = wide ? 1 : 0; }

    void Draw(HDC dc) override;

private:
    char m_szPicture[1024];
    int32_t m_bWide = 0;
};
