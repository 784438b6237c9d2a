// The panel: a borderless, always-on-top 260 x 160 popup in the lower-right
// corner of the work area that shows one tip at a time. It rises from below
// the work area on a 20 ms animation timer, stays, and sinks away again; a
// 10 s poll timer asks for the next tip (TryShowTip, by each panel kind).
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>
#include <functional>

#include "panels/button_bar.h"
#include "panels/panel_scale.h"
#include "panels/panel_slide.h"
#include "panels/picture_drawer.h"
#include "panels/shared_skin.h"
#include "panels/text_drawer.h"
#include "platform/handles.h"

class CPanelAccessible;
class CShowDataList;
struct TipRecord;

constexpr UINT_PTR TIMER_ANIMATE = 1;
constexpr UINT_PTR TIMER_POLL = 2;
constexpr UINT_PTR TIMER_HOST_LOOP = 3;
constexpr UINT kPollPeriodMs = 10000;
// At 96 DPI; every length of the panel is scaled by CPanelScale.
constexpr int kPanelWidth = 260;
constexpr int kPanelHeight = 160;
// The fonts' character cell.
constexpr int kCharWidth = 6;
constexpr int kCharHeight = 12;
constexpr COLORREF kPanelBackground = RGB(199, 210, 229);

class CMessPanel {
public:
    virtual ~CMessPanel();
    CMessPanel(const CMessPanel&) = delete;
    CMessPanel& operator=(const CMessPanel&) = delete;

    // Called at every poll tick; each panel kind decides whether to show.
    virtual void TryShowTip() {}

    // Fonts, skin, window class, window and poll timer. 1 on success.
    int32_t Create();
    // Timers, window, skin, fonts and the window class go; safe to repeat.
    void Destroy();
    // The library is being unloaded without msg_exit, under the loader lock:
    // the window is hidden and handed to default handling, so that no
    // message reaches the unloaded code; nothing else is released.
    void DetachAtUnload();
    // The calling thread is ending: if it owns the window, the window goes
    // with it, and the panel says so and lets go of it.
    void ForgetAtThreadEnd();
    // Calls `signal` once the window's thread is back in its message loop:
    // a timer of the window, which goes with the window and, detached from
    // another thread, never reaches this library. At once without a window.
    void SignalOnHostLoop(std::function<void()> signal);

    // Lays a tip out into the elements and shows the window, which then
    // rises. 0 (and nothing changes) when the tip has neither a picture
    // path of 4 bytes or more nor a text of 3 bytes or more.
    int32_t ShowPanel(const char* title, const char* picture, const char* text, const char* link,
                      const char* caption1, const char* action1, const char* url1, const char* caption2,
                      const char* action2, const char* url2, const char* caption3, const char* action3,
                      const char* url3, int32_t staySeconds);
    // ShowPanel with the strings of `tip`, as its byStyle selects them.
    int32_t ShowTip(const TipRecord& tip, int32_t staySeconds);

    HWND Window() const { return m_hWnd; }
    int32_t State() const { return m_slide.State(); }
    const CPanelSlide& Slide() const { return m_slide; }
    const CPanelScale& Scale() const { return m_scale; }
    CButtonBar& Buttons() { return m_buttons; }
    CPictureDrawer& Picture() { return m_picture; }
    CTextDrawer& Text() { return m_text; }

    // Draws the whole panel into `target` through an off-screen bitmap.
    void Render(HDC target);
    // True when `button` belongs to this panel (its bar or an element's
    // spare); the panel action message runs nothing else.
    bool OwnsButton(const CButtonDrawer* button);

    // What an assistive tool reads: nothing while hidden, else the text,
    // the picture and the action buttons that are shown, and the close zone.
    std::vector<const CDrawer*> AccessibleElements();

    // The class name this panel registers.
    const char* ClassName() const;

protected:
    explicit CMessPanel(bool sliding);

    CShowDataList* m_store = nullptr;
    int32_t m_tLastShow = 0;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // True when the message is fully handled and `result` is its answer;
    // false sends it on to default processing.
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Fonts for `scale`, given to every element; on failure the panel keeps
    // the fonts it had.
    bool CreateFonts(const CPanelScale& scale);
    // Fonts, elements and window at `scale`, measured as a tip rises.
    void ApplyScale(const CPanelScale& scale);
    bool RegisterWindowClass();
    // Logs each element of the laid-out tip that the painter cuts.
    void LogCutTexts();
    void StartSlide();
    void AnimationTick();
    // The elements in paint order, or topmost first for hit testing.
    template <typename Fn>
    void ForEachElement(Fn fn, bool topmostFirst = false) {
        if (topmostFirst) {
            fn(m_buttons);
            fn(m_text);
            fn(m_picture);
            return;
        }
        fn(m_picture);
        fn(m_text);
        fn(m_buttons);
    }
    void RenderNow();
    void OnHostLoop();
    void OnMouseMove(int32_t x, int32_t y);
    void OnPanelAction(WPARAM command, LPARAM element);
    // An assistive tool's click on `element`, if it is one of ours and shown.
    void OnPress(LPARAM element);
    // The accessible object for OBJID_CLIENT, made on first use; 0 when
    // it cannot be handed out.
    LRESULT AnswerGetObject(WPARAM flags);
    void DisconnectAccessible();
    // Hides the window and routes it to default handling, from any thread.
    void DetachWindow();

    HWND m_hWnd = nullptr;
    std::function<void()> m_onHostLoop;
    handles::Font m_normalFont;
    handles::Font m_normalHotFont;
    handles::Font m_boldFont;
    CSharedSkin m_skin;
    HCURSOR m_arrow = nullptr;
    HCURSOR m_hand = nullptr;
    CButtonBar m_buttons;
    CPictureDrawer m_picture;
    CTextDrawer m_text;
    CPanelSlide m_slide;
    CPanelScale m_scale;
    int32_t m_bSliding = 0;
    bool m_classRegistered = false;
    // Made when a tool first asks; cut off at Destroy.
    CPanelAccessible* m_accessible = nullptr;
    // Set while Destroy destroys the window: any other destruction is logged.
    bool m_bDestroying = false;
};
