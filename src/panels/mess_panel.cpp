#include "panels/mess_panel.h"

#include <climits>
#include <cstring>

#include "actions/run_action.h"
#include "panels/library_module.h"
#include "panels/panel_action.h"
#include "platform/edge.h"
#include "platform/platform.h"
#include "store/show_data_list.h"

namespace {

constexpr char kSlidingClass[] = "slipzemtraMessPanelClass";
constexpr char kStaticClass[] = "statzemtraMessPanelClass";
// "zemtra" and the word for "tip" in code page 936; never shown, as the
// window has no caption bar.
constexpr char kWindowName[] = "zemtra\xCC\xE1\xCA\xBE";
// Moves and raises without taking the keyboard focus from the user's window.
constexpr UINT kMoveFlags = SWP_NOSIZE | SWP_NOACTIVATE;


}  // namespace

CMessPanel::CMessPanel(bool sliding) : m_bSliding(sliding ? 1 : 0) {}

CMessPanel::~CMessPanel() {
    // A window left behind would route its messages to a dead object.
    Destroy();
}

const char* CMessPanel::ClassName() const { return m_bSliding ? kSlidingClass : kStaticClass; }

bool CMessPanel::CreateFonts() {
    LOGFONTW font{};
    font.lfHeight = 12;
    font.lfWidth = 6;
    font.lfWeight = 200;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = 0;
    font.lfClipPrecision = 0;
    font.lfQuality = PROOF_QUALITY;
    font.lfPitchAndFamily = FF_DECORATIVE | DEFAULT_PITCH;
    // SimSun, named in UTF-16 so that the name means the same face whatever
    // the host's ANSI code page is.
    const wchar_t face[] = {0x5B8B, 0x4F53, 0};
    std::memcpy(font.lfFaceName, face, sizeof face);
    m_normalFont.reset(CreateFontIndirectW(&font));
    m_normalHotFont.reset(CreateFontIndirectW(&font));
    font.lfWeight = 700;
    m_boldFont.reset(CreateFontIndirectW(&font));
    return m_normalFont && m_normalHotFont && m_boldFont;
}

bool CMessPanel::RegisterWindowClass() {
    const HINSTANCE module = LibraryModule();
    WNDCLASSEXA existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExA(module, ClassName(), &existing)) {
        // Left registered by an earlier start in this process (or by the
        // other panel object of this kind): ours to use again.
        if (existing.lpfnWndProc == &CMessPanel::WindowProc) return true;
        UnregisterClassA(ClassName(), module);
    }
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = 0;
    wc.lpfnWndProc = &CMessPanel::WindowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    // A registered class owns its brush: the system deletes it with the class.
    handles::Brush background(CreateSolidBrush(kPanelBackground));
    wc.hbrBackground = background.get();
    wc.lpszClassName = ClassName();
    if (!RegisterClassExA(&wc)) return false;
    background.release();
    m_classRegistered = true;
    return true;
}

int32_t CMessPanel::Create() {
    if (m_hWnd) return 1;
    if (!CreateFonts()) {
        m_normalFont.reset();
        m_normalHotFont.reset();
        m_boldFont.reset();
        return 0;
    }
    m_skin.Acquire();
    m_arrow = LoadCursor(nullptr, IDC_ARROW);
    m_hand = LoadCursor(nullptr, IDC_HAND);
    m_picture.SetFonts(m_normalFont.get(), m_normalHotFont.get(), m_boldFont.get(), 6, 12);
    m_text.SetFonts(m_normalFont.get(), m_normalHotFont.get(), m_boldFont.get(), 6, 12);
    m_buttons.SetFonts(m_normalFont.get(), m_normalHotFont.get(), nullptr, 6, 12);

    if (!RegisterWindowClass()) return 0;
    m_hWnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, ClassName(), kWindowName, WS_POPUP, 0, 0,
                             kPanelWidth, kPanelHeight, GetDesktopWindow(), nullptr, LibraryModule(), nullptr);
    if (!m_hWnd) return 0;
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    m_buttons.SetOwnerWindow(m_hWnd);
    m_picture.SetOwnerWindow(m_hWnd);
    m_text.SetOwnerWindow(m_hWnd);
    m_store = CShowDataList::GetInstance();
    SetTimer(m_hWnd, TIMER_POLL, kPollPeriodMs, nullptr);
    return 1;
}

void CMessPanel::Destroy() {
    if (m_hWnd) {
        KillTimer(m_hWnd, TIMER_POLL);
        KillTimer(m_hWnd, TIMER_ANIMATE);
        // WM_NCDESTROY forgets the handle. Only the thread that made the
        // window may destroy it: from any other, the window stays with that
        // thread and must reach neither this panel nor, once the library is
        // unloaded, its code.
        if (!DestroyWindow(m_hWnd)) {
            SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
            SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
            platform::DebugLine("CMessPanel DestroyWindow failed, window detached");
        }
        m_hWnd = nullptr;
    }
    // The next start in this process registers the class afresh.
    if (m_classRegistered) {
        UnregisterClassA(ClassName(), LibraryModule());
        m_classRegistered = false;
    }
    m_skin.Release();
    m_normalFont.reset();
    m_normalHotFont.reset();
    m_boldFont.reset();
    m_nState = PANEL_HIDDEN;
}

LRESULT CALLBACK CMessPanel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* panel = reinterpret_cast<CMessPanel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (panel == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        panel->m_hWnd = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    // A failure keeps the panel working; the message gets default processing.
    LRESULT result = 0;
    if (platform::Contain("panel window procedure", false,
                          [&] { return panel->HandleMessage(message, wParam, lParam, result); })) {
        return result;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool CMessPanel::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_ERASEBKGND:
        // The paint covers every pixel; erasing first would only flicker.
        result = 1;
        return true;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(m_hWnd, &ps);
        if (dc) Render(dc);
        EndPaint(m_hWnd, &ps);
        result = 0;
        return true;
    }
    case WM_CLOSE:
        ShowWindow(m_hWnd, SW_HIDE);
        result = 0;
        return true;
    case WM_SHOWWINDOW:
        if (wParam)
            StartSlide();
        else
            KillTimer(m_hWnd, TIMER_ANIMATE);
        return false;
    case WM_SETCURSOR: {
        const bool hot = m_picture.IsHot() || m_text.IsHot() || m_buttons.IsHot();
        SetCursor(hot ? m_hand : m_arrow);
        result = 1;
        return true;
    }
    case WM_TIMER:
        if (wParam == TIMER_POLL)
            TryShowTip();
        else
            AnimationTick();
        return false;
    case WM_MOUSEMOVE: {
        OnMouseMove(LOWORD(lParam), HIWORD(lParam));
        TRACKMOUSEEVENT track{};
        track.cbSize = sizeof track;
        track.dwFlags = TME_HOVER | TME_LEAVE;
        track.hwndTrack = m_hWnd;
        track.dwHoverTime = 1;
        TrackMouseEvent(&track);
        return false;
    }
    case WM_LBUTTONDOWN:
        m_picture.Press();
        m_text.Press();
        m_buttons.Press();
        RenderNow();
        return false;
    case WM_LBUTTONUP:
        m_picture.Release();
        m_text.Release();
        m_buttons.Release();
        RenderNow();
        return false;
    case WM_MOUSEHOVER:
        m_bPointerOutside = 0;
        if (m_nState != PANEL_LEAVING) m_nState = PANEL_SLIDING_IN;
        platform::DebugLine("WM_MOUSEHOVER");
        return false;
    case WM_MOUSELEAVE:
        m_bPointerOutside = 1;
        platform::DebugLine("WM_MOUSELEAVE");
        // Nothing is under the pointer any more: drop the hover colour.
        OnMouseMove(INT_MIN, INT_MIN);
        return false;
    case WM_PANEL_ACTION:
        OnPanelAction(wParam, lParam);
        return false;
    default:
        return false;
    }
}

void CMessPanel::OnMouseMove(int32_t x, int32_t y) {
    // The buttons lie on top: a wide picture's cell reaches under them, and
    // a press on a button must press nothing beneath it.
    bool changed = m_buttons.HitTest(x, y);
    if (m_buttons.IsHot()) x = y = INT_MIN;
    changed = m_picture.HitTest(x, y) || changed;
    changed = m_text.HitTest(x, y) || changed;
    // The text's hover colour shows at once rather than at the next paint.
    if (changed && m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CMessPanel::OnPanelAction(WPARAM command, LPARAM element) {
    if (command == kPanelActionClose) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    if (command == kPanelActionLeave) {
        m_nState = PANEL_LEAVING;
        return;
    }
    // Any window can post this message: run only a button of our own.
    auto* button = reinterpret_cast<const CButtonDrawer*>(element);
    if (!OwnsButton(button)) return;
    // A record without a keyword or an address runs nothing and the panel stays.
    if (button->Command()[0] == '\0' || button->Url()[0] == '\0') return;
    PostMessageA(m_hWnd, WM_PANEL_ACTION, kPanelActionLeave, reinterpret_cast<LPARAM>(this));
    RunAction(button->Command(), button->Url());
}

bool CMessPanel::OwnsButton(const CButtonDrawer* button) {
    return button != nullptr &&
           (m_buttons.Owns(button) || button == &m_picture.Spare() || button == &m_text.Spare());
}

void CMessPanel::StartSlide() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    RECT window{};
    GetWindowRect(m_hWnd, &window);
    m_nLeftX = work.right - (window.right - window.left);
    m_nShownY = work.bottom - (window.bottom - window.top);
    m_nHiddenY = m_nCurrentY = work.bottom;
    SetWindowPos(m_hWnd, HWND_TOP, m_nLeftX, work.bottom, 0, 0, kMoveFlags);
    SetTimer(m_hWnd, TIMER_ANIMATE, kAnimatePeriodMs, nullptr);
    m_nState = PANEL_SLIDING_IN;
}

void CMessPanel::MoveTo(int32_t top) {
    m_nCurrentY = top;
    SetWindowPos(m_hWnd, HWND_TOP, m_nLeftX, m_nCurrentY, 0, 0, kMoveFlags);
}

void CMessPanel::AnimationTick() {
    switch (m_nState) {
    case PANEL_SLIDING_IN:
        if (m_nCurrentY > m_nShownY) {
            const int32_t top = m_nCurrentY - kRisePerTick;
            MoveTo(top < m_nShownY ? m_nShownY : top);
        }
        if (m_nCurrentY <= m_nShownY && m_bSliding && m_bPointerOutside) {
            m_nStayTicks = 0;
            m_nState = PANEL_SHOWN;
        }
        break;
    case PANEL_SHOWN: {
        // 50 ticks of 20 ms to the second; no stay means no limit.
        const int64_t limit = int64_t{m_nStaySeconds} * 1000 / kAnimatePeriodMs;
        if (m_nStaySeconds <= 0) m_nStayTicks = 0;
        ++m_nStayTicks;
        if (m_nStaySeconds > 0 && m_nStayTicks > limit) m_nState = PANEL_SLIDING_OUT;
        break;
    }
    case PANEL_SLIDING_OUT:
    case PANEL_LEAVING:
        MoveTo(m_nCurrentY + kSinkPerTick);
        if (m_nCurrentY > m_nHiddenY) {
            m_nState = PANEL_HIDDEN;
            ShowWindow(m_hWnd, SW_HIDE);
        }
        break;
    default:
        break;
    }
}

void CMessPanel::RenderNow() {
    if (!m_hWnd) return;
    handles::WindowDC dc(m_hWnd);
    if (dc.get()) Render(dc.get());
}

void CMessPanel::Render(HDC target) {
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    if (w <= 0 || h <= 0) return;
    // Torn down in reverse: the old bitmap goes back, the DC goes, then the
    // canvas that is no longer selected anywhere.
    handles::Bitmap canvas(CreateCompatibleBitmap(target, w, h));
    if (!canvas) return;
    handles::MemoryDC memory(CreateCompatibleDC(target));
    if (!memory) return;
    handles::Select selected(memory.get(), canvas.get());
    if (m_skin) {
        handles::MemoryDC skinDC(CreateCompatibleDC(target));
        if (skinDC) {
            handles::Select skin(skinDC.get(), m_skin.get());
            BitBlt(memory.get(), 0, 0, w, h, skinDC.get(), 0, 0, SRCCOPY);
        }
    } else {
        handles::Brush fill(CreateSolidBrush(kPanelBackground));
        if (fill) FillRect(memory.get(), &client, fill.get());
    }
    m_picture.Draw(memory.get());
    m_text.Draw(memory.get());
    m_buttons.Draw(memory.get());
    BitBlt(target, 0, 0, w, h, memory.get(), 0, 0, SRCCOPY);
}
