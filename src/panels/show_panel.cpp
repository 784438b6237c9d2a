// Laying a tip out into the panel's elements, and showing the panel.
#include <cstring>
#include <string>

#include "panels/mess_panel.h"
#include "panels/screen_dpi.h"
#include "platform/handles.h"
#include "platform/platform.h"
#include "protocol/tip_record.h"

namespace {

size_t Length(const char* s) { return s ? std::strlen(s) : 0; }
const char* OrEmpty(const char* s) { return s ? s : ""; }

// The layout kinds a tip's byStyle names.
bool HidesPicture(uint8_t style) { return style >= 11 && style <= 20; }
bool HidesTextAndButtons(uint8_t style) { return style >= 21 && style <= 30; }

// Where a tip's parts go, in panel client pixels. Elements begin just below
// the skin's title band.
constexpr int32_t kElementTop = 25;
constexpr int32_t kPictureLeft = 2;
// Beside a picture the text and the buttons keep to the right column.
constexpr int32_t kColumnLeftBesidePicture = 117;
constexpr int32_t kColumnWidthBesidePicture = 120;
constexpr int32_t kColumnLeftAlone = 20;
constexpr int32_t kColumnWidthAlone = 220;
// Without buttons below it, the text's hot area reaches past the panel's bottom.
constexpr int32_t kTextHeightAboveButtons = 110;
constexpr int32_t kTextHeightAlone = 190;
constexpr int32_t kButtonAreaTop = 133;
constexpr int32_t kButtonAreaHeight = 80;

}  // namespace

int32_t CMessPanel::ShowPanel(const char* title, const char* picture, const char* text, const char* link,
                              const char* caption1, const char* action1, const char* url1,
                              const char* caption2, const char* action2, const char* url2,
                              const char* caption3, const char* action3, const char* url3,
                              int32_t staySeconds) {
    m_slide.SetStaySeconds(staySeconds);
    const bool hasPicture = Length(picture) >= 4;
    const bool hasText = Length(text) >= 3;
    const bool hasButtons = Length(caption1) >= 3;
    if (!hasText && !hasPicture) {
        platform::DebugLine("text picture not exist");
        return 0;
    }
    ShowWindow(m_hWnd, SW_HIDE);
    // Laid out at the DPI of the monitor the tip rises on.
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    ApplyScale(CPanelScale(PanelDpiOn(MonitorFromRect(&work, MONITOR_DEFAULTTOPRIMARY))));

    m_picture.Reset();
    m_text.SetTitle(title);
    if (hasPicture) {
        m_picture.SetRect(kPictureLeft, kElementTop, hasText ? CPictureDrawer::kNarrowWidth : CPictureDrawer::kWideWidth,
                          CPictureDrawer::kCellHeight);
        m_picture.SetWide(!hasText);
        m_picture.SetPicture(picture, link);
    }

    const int32_t columnX = hasPicture ? kColumnLeftBesidePicture : kColumnLeftAlone;
    const int32_t columnWidth = hasPicture ? kColumnWidthBesidePicture : kColumnWidthAlone;
    m_text.Reset();
    if (hasText) {
        m_text.SetRect(columnX, kElementTop, columnWidth, hasButtons ? kTextHeightAboveButtons : kTextHeightAlone);
        m_text.SetText(text, link);
    }

    m_buttons.ResetButtons();
    if (hasButtons) {
        const char* const captions[] = {OrEmpty(caption1), OrEmpty(caption2), OrEmpty(caption3)};
        const char* const actions[] = {OrEmpty(action1), OrEmpty(action2), OrEmpty(action3)};
        const char* const urls[] = {OrEmpty(url1), OrEmpty(url2), OrEmpty(url3)};
        m_buttons.SetButtons(captions, actions, urls);
        m_buttons.LayoutButtons(columnX, kButtonAreaTop, columnWidth, kButtonAreaHeight);
    }

    LogCutTexts();
    SetWindowPos(m_hWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
    // WM_SHOWWINDOW places the window below the work area and starts the rise.
    ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    // Screen readers announce a popup that raises an alert.
    NotifyWinEvent(EVENT_SYSTEM_ALERT, m_hWnd, OBJID_CLIENT, CHILDID_SELF);
    // Paint the new tip even when the system kept the old pixels.
    InvalidateRect(m_hWnd, nullptr, FALSE);
    return 1;
}

void CMessPanel::LogCutTexts() {
    handles::WindowDC dc(m_hWnd);
    if (!dc.get()) return;
    // A pair of lines per element that the painter cannot show whole, so
    // that a preview of the tip can mark it.
    const auto cut = [](const char* element) {
        platform::DebugLine("CMessPanel text cut");
        platform::DebugLine(element);
    };
    if (m_text.IsShown()) {
        const CTextDrawer::Layout layout = m_text.Measure(dc.get(), true);
        if (layout.titleCut) cut("title");
        if (layout.textCut) cut("text");
    }
    static const char* const kButtonNames[CButtonBar::kButtons] = {"button 1", "button 2", "button 3"};
    for (int k = 0; k < CButtonBar::kButtons; ++k) {
        const CButtonDrawer& button = m_buttons.Button(k);
        if (button.IsShown() && button.CaptionCut(dc.get())) cut(kButtonNames[k]);
    }
}

int32_t CMessPanel::ShowTip(const TipRecord& tip, int32_t staySeconds) {
    platform::DebugLine("CMessPanel show tip:");
    platform::DebugLine(std::to_string(static_cast<int32_t>(tip.nMessageID)).c_str());
    // Fields that fill their whole buffer carry no NUL: copy them bounded.
    const std::string empty;
    const std::string title = FieldText(tip.szTitle);
    const std::string picture = HidesPicture(tip.byStyle) ? empty : FieldText(tip.szPicture);
    const std::string text = HidesTextAndButtons(tip.byStyle) ? empty : FieldText(tip.szText);
    const std::string link = FieldText(tip.szLinkURL);
    std::string caption[3], action[3], url[3];
    for (int k = 0; k < 3; ++k) {
        caption[k] = FieldText(tip.aButtons[k].szCaption);
        action[k] = FieldText(tip.aButtons[k].szAction);
        url[k] = FieldText(tip.aButtons[k].szURL);
    }
    if (HidesTextAndButtons(tip.byStyle)) caption[0].clear();
    return ShowPanel(title.c_str(), picture.c_str(), text.c_str(), link.c_str(), caption[0].c_str(),
                     action[0].c_str(), url[0].c_str(), caption[1].c_str(), action[1].c_str(),
                     url[1].c_str(), caption[2].c_str(), action[2].c_str(), url[2].c_str(), staySeconds);
}
