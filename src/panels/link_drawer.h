// An element that carries the tip's link: the picture and the text. A click
// on it runs the link; its spare button, never placed or drawn, carries a
// download link's action record to the panel.
#pragma once

#include "panels/button_drawer.h"
#include "panels/drawer.h"

class CLinkDrawer : public CDrawer {
public:
    CLinkDrawer() { SetLink(nullptr); }

    void SetOwnerWindow(HWND window) {
        CDrawer::SetOwnerWindow(window);
        m_spare.SetOwnerWindow(window);
    }
    void OnClick() override;

    const char* Link() const { return m_szLink; }
    CButtonDrawer& Spare() { return m_spare; }

protected:
    void SetLink(const char* link) { SetFieldText(m_szLink, TextOrEmpty(link)); }

private:
    char m_szLink[1024];
    CButtonDrawer m_spare;
};
