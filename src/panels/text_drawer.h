// The tip's text, with an optional bold title above it, centred as one
// block in a box that ends at x 240 and is 110 pixels high; the title may
// take the box's whole width, however narrow the body.
#pragma once

#include "panels/link_drawer.h"

class CTextDrawer : public CLinkDrawer {
public:
    CTextDrawer();

    // Copies the title, or clears it when there is none.
    void SetTitle(const char* title);
    // Copies the text with every "[]" turned into a line break, and the link.
    void SetText(const char* text, const char* link);

    // Where the painter puts the title and the body and, when `findCuts`,
    // whether either does not fit the box whole.
    struct Layout {
        RECT title;
        RECT body;
        bool titleCut;
        bool textCut;
    };
    Layout Measure(HDC dc, bool findCuts = false) const;
    void Draw(HDC dc) override;

    const char* Text() const { return m_szText; }
    const char* Title() const { return m_szTitle; }

private:
    char m_szText[1024];
    char m_szTitle[128];
};
