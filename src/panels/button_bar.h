// The panel's buttons: the close zone over the skin's close box, and three
// action buttons laid out centred in an area below the tip.
#pragma once

#include "panels/button_drawer.h"

class CButtonBar {
public:
    static constexpr int32_t kButtons = 3;

    CButtonBar();
    virtual ~CButtonBar() = default;
    CButtonBar(const CButtonBar&) = delete;
    CButtonBar& operator=(const CButtonBar&) = delete;

    void SetFonts(HFONT normal, HFONT normalHot, HFONT bold, int32_t charWidth, int32_t charHeight);
    void SetOwnerWindow(HWND window);
    // Every button, the close zone placed again at it.
    void SetScale(const CPanelScale& scale);
    // True when some button's hot flag changed.
    bool HitTest(int32_t x, int32_t y);
    void Press();
    void Release();
    int32_t IsHot();

    // Resets the action buttons; the close zone stays.
    void ResetButtons();
    // Each button gets (caption[k], command[k], url[k]). A captioned button
    // without a command ends the bar: it and the buttons after it are not
    // placed, so a tip shows only the complete buttons before it.
    void SetButtons(const char* const captions[kButtons], const char* const commands[kButtons],
                    const char* const urls[kButtons]);
    // Places the present buttons, 30 x 18 and 6 pixels apart, centred in
    // the area's width, 6 pixels below its top. The height is not used.
    void LayoutButtons(int32_t x, int32_t y, int32_t width, int32_t height);
    void Draw(HDC dc);

    int32_t ButtonCount() const { return m_nButtonCount; }
    CButtonDrawer& Button(int index) { return m_buttons[index]; }
    const CButtonDrawer& Close() const { return m_close; }
    // True when `button` is one of this bar's own buttons.
    bool Owns(const CButtonDrawer* button) const;

private:
    template <typename Fn>
    void ForEach(Fn fn) {
        fn(m_close);
        for (CButtonDrawer& b : m_buttons) fn(b);
    }

    CButtonDrawer m_close;
    CButtonDrawer m_buttons[kButtons];
    int32_t m_nButtonCount = 0;
    int32_t m_bPresent[kButtons] = {0, 0, 0};
};
