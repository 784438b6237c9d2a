#include "panels/mess_panel.h"

#include <climits>
#include <cstring>
#include <utility>

#include "actions/run_action.h"
#include "panels/library_module.h"
#include "panels/panel_accessible.h"
#include "panels/panel_action.h"
#include "panels/screen_dpi.h"
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

CMessPanel::CMessPanel(bool sliding) : m_slide(sliding), m_bSliding(sliding ? 1 : 0) {}

CMessPanel::~CMessPanel() {
    // A window left behind would route its messages to a dead object.
    Destroy();
}

const char* CMessPanel::ClassName() const { return m_bSliding ? kSlidingClass : kStaticClass; }

bool CMessPanel::CreateFonts(const CPanelScale& scale) {
    LOGFONTW font{};
    font.lfHeight = scale.Px(kCharHeight);
    font.lfWidth = scale.Px(kCharWidth);
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
    handles::Font normal(CreateFontIndirectW(&font));
    handles::Font normalHot(CreateFontIndirectW(&font));
    font.lfWeight = 700;
    handles::Font bold(CreateFontIndirectW(&font));
    // All three or none: a panel keeps the fonts it has when new ones fail.
    if (!normal || !normalHot || !bold) return false;
    m_normalFont = std::move(normal);
    m_normalHotFont = std::move(normalHot);
    m_boldFont = std::move(bold);
    ForEachElement([&](auto& e) {
        e.SetFonts(m_normalFont.get(), m_normalHotFont.get(), m_boldFont.get(), scale.Px(kCharWidth),
                   scale.Px(kCharHeight));
    });
    return true;
}

void CMessPanel::ApplyScale(const CPanelScale& scale) {
    if (scale == m_scale) return;
    if (!CreateFonts(scale)) {
        platform::DebugLine("CMessPanel no fonts for the screen's DPI, the panel keeps its size");
        return;
    }
    m_scale = scale;
    ForEachElement([&](auto& e) { e.SetScale(scale); });
    SetWindowPos(m_hWnd, nullptr, 0, 0, scale.Px(kPanelWidth), scale.Px(kPanelHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
    if (!CreateFonts(m_scale)) return 0;
    m_skin.Acquire();
    m_arrow = LoadCursor(nullptr, IDC_ARROW);
    m_hand = LoadCursor(nullptr, IDC_HAND);

    if (!RegisterWindowClass()) return 0;
    m_hWnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, ClassName(), kWindowName, WS_POPUP, 0, 0,
                             m_scale.Px(kPanelWidth), m_scale.Px(kPanelHeight), GetDesktopWindow(), nullptr, LibraryModule(), nullptr);
    if (!m_hWnd) return 0;
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));

    ForEachElement([this](auto& e) { e.SetOwnerWindow(m_hWnd); });
    m_store = CShowDataList::GetInstance();
    SetTimer(m_hWnd, TIMER_POLL, kPollPeriodMs, nullptr);
    return 1;
}

void CMessPanel::SignalOnHostLoop(std::function<void()> signal) {
    m_onHostLoop = std::move(signal);
    if (m_hWnd && SetTimer(m_hWnd, TIMER_HOST_LOOP, USER_TIMER_MINIMUM, nullptr) != 0) return;
    OnHostLoop();
}

void CMessPanel::OnHostLoop() {
    if (m_hWnd) KillTimer(m_hWnd, TIMER_HOST_LOOP);
    const std::function<void()> signal = std::move(m_onHostLoop);
    m_onHostLoop = nullptr;
    if (signal) signal();
}

void CMessPanel::Destroy() {
    if (m_hWnd) {
        KillTimer(m_hWnd, TIMER_POLL);
        KillTimer(m_hWnd, TIMER_ANIMATE);
        KillTimer(m_hWnd, TIMER_HOST_LOOP);
        // WM_NCDESTROY forgets the handle. Only the thread that made the
        // window may destroy it: from any other, the window stays with that
        // thread and must reach neither this panel nor, once the library is
        // unloaded, its code.
        m_bDestroying = true;
        if (!DestroyWindow(m_hWnd)) {
            DetachWindow();
            platform::DebugLine("CMessPanel DestroyWindow failed, window detached");
        }
        m_bDestroying = false;
        m_hWnd = nullptr;
    }
    m_onHostLoop = nullptr;
    DisconnectAccessible();
    // The next start in this process registers the class afresh.
    if (m_classRegistered) {
        UnregisterClassA(ClassName(), LibraryModule());
        m_classRegistered = false;
    }
    m_skin.Release();
    m_normalFont.reset();
    m_normalHotFont.reset();
    m_boldFont.reset();
    m_slide.Stop();
}

void CMessPanel::DetachWindow() {
    // Posted, so it works from any thread; a detached window must not stay
    // on screen with nobody to take it down.
    ShowWindowAsync(m_hWnd, SW_HIDE);
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
}

void CMessPanel::ForgetAtThreadEnd() {
    if (!m_hWnd || GetWindowThreadProcessId(m_hWnd, nullptr) != GetCurrentThreadId()) return;
    // The system destroys the window with its thread, sending it nothing.
    platform::DebugLine("CMessPanel window destroyed outside msg_exit");
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
    m_hWnd = nullptr;
    m_slide.Stop();
}

void CMessPanel::DetachAtUnload() {
    if (!m_hWnd) return;
    // Timers can only be killed by the window's thread; elsewhere they go on
    // posting to a window that now answers them with default handling.
    if (GetWindowThreadProcessId(m_hWnd, nullptr) == GetCurrentThreadId()) {
        KillTimer(m_hWnd, TIMER_POLL);
        KillTimer(m_hWnd, TIMER_ANIMATE);
        KillTimer(m_hWnd, TIMER_HOST_LOOP);
    } else {
        platform::DebugLine("CMessPanel unloaded on another thread, timers left to the window's thread");
    }
    DetachWindow();
    platform::DebugLine("CMessPanel detached at unload");
    m_hWnd = nullptr;
}

LRESULT CALLBACK CMessPanel::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* panel = reinterpret_cast<CMessPanel*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (panel == nullptr) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        // The thread that made the window ended, or someone else destroyed
        // it: the panel shows nothing more until the next start.
        if (!panel->m_bDestroying) platform::DebugLine("CMessPanel window destroyed outside msg_exit");
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
        bool hot = false;
        ForEachElement([&hot](auto& e) { hot = hot || e.IsHot(); });
        SetCursor(hot ? m_hand : m_arrow);
        result = 1;
        return true;
    }
    case WM_TIMER:
        if (wParam == TIMER_HOST_LOOP)
            OnHostLoop();
        else if (wParam == TIMER_POLL)
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
        ForEachElement([](auto& e) { e.Press(); });
        RenderNow();
        return false;
    case WM_LBUTTONUP:
        ForEachElement([](auto& e) { e.Release(); });
        RenderNow();
        return false;
    case WM_MOUSEHOVER:
        m_slide.Hover();
        platform::DebugLine("WM_MOUSEHOVER");
        return false;
    case WM_MOUSELEAVE:
        m_slide.PointerLeft();
        platform::DebugLine("WM_MOUSELEAVE");
        // Nothing is under the pointer any more: drop the hover colour.
        OnMouseMove(INT_MIN, INT_MIN);
        return false;
    case WM_PANEL_ACTION:
        OnPanelAction(wParam, lParam);
        return false;
    case WM_PANEL_PRESS:
        OnPress(lParam);
        return false;
    case WM_GETOBJECT:
        if (static_cast<LONG>(lParam) != OBJID_CLIENT) return false;
        result = AnswerGetObject(wParam);
        return result != 0;
    default:
        return false;
    }
}

void CMessPanel::OnMouseMove(int32_t x, int32_t y) {
    // The buttons lie on top: a wide picture's cell reaches under them, and
    // a press on a button must press nothing beneath it.
    bool changed = false;
    bool covered = false;
    ForEachElement(
        [&](auto& e) {
            changed = e.HitTest(covered ? INT_MIN : x, covered ? INT_MIN : y) || changed;
            covered = covered || e.IsHot();
        },
        true);
    // The text's hover colour shows at once rather than at the next paint.
    if (changed && m_hWnd) InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CMessPanel::OnPanelAction(WPARAM command, LPARAM element) {
    if (command == kPanelActionClose) {
        PostMessageA(m_hWnd, WM_CLOSE, 0, 0);
        return;
    }
    if (command == kPanelActionLeave) {
        m_slide.SendAway();
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
    m_slide.Start(work.right - (window.right - window.left), work.bottom - (window.bottom - window.top), work.bottom,
                  m_scale.Px(kRisePerTick), m_scale.Px(kSinkPerTick));
    SetWindowPos(m_hWnd, HWND_TOP, m_slide.LeftX(), m_slide.CurrentTop(), 0, 0, kMoveFlags);
    SetTimer(m_hWnd, TIMER_ANIMATE, kAnimatePeriodMs, nullptr);
}

void CMessPanel::AnimationTick() {
    const CPanelSlide::Step step = m_slide.Tick();
    if (step == CPanelSlide::Step::kNone) return;
    SetWindowPos(m_hWnd, HWND_TOP, m_slide.LeftX(), m_slide.CurrentTop(), 0, 0, kMoveFlags);
    if (step == CPanelSlide::Step::kMoveAndHide) ShowWindow(m_hWnd, SW_HIDE);
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
            if (m_scale.IsOne()) {
                BitBlt(memory.get(), 0, 0, w, h, skinDC.get(), 0, 0, SRCCOPY);
            } else {
                // The skin is drawn for 96 DPI: spread over the panel with a smooth filter.
                SetStretchBltMode(memory.get(), HALFTONE);
                SetBrushOrgEx(memory.get(), 0, 0, nullptr);
                StretchBlt(memory.get(), 0, 0, w, h, skinDC.get(), 0, 0, kPanelWidth, kPanelHeight, SRCCOPY);
            }
        }
    } else {
        handles::Brush fill(CreateSolidBrush(kPanelBackground));
        if (fill) FillRect(memory.get(), &client, fill.get());
    }
    ForEachElement([&memory](auto& e) { e.Draw(memory.get()); });
    BitBlt(target, 0, 0, w, h, memory.get(), 0, 0, SRCCOPY);
}

std::vector<const CDrawer*> CMessPanel::AccessibleElements() {
    std::vector<const CDrawer*> elements;
    if (m_hWnd == nullptr || !IsWindowVisible(m_hWnd)) return elements;
    if (m_text.IsShown()) elements.push_back(&m_text);
    if (m_picture.IsShown()) elements.push_back(&m_picture);
    for (int k = 0; k < CButtonBar::kButtons; ++k)
        if (m_buttons.Button(k).IsShown()) elements.push_back(&m_buttons.Button(k));
    elements.push_back(&m_buttons.Close());
    return elements;
}

void CMessPanel::OnPress(LPARAM element) {
    // Any window can post this message: click only a shown element of ours.
    for (const CDrawer* own : AccessibleElements()) {
        if (reinterpret_cast<LPARAM>(own) != element) continue;
        const_cast<CDrawer*>(own)->OnClick();
        return;
    }
}

LRESULT CMessPanel::AnswerGetObject(WPARAM flags) {
    if (m_accessible == nullptr) m_accessible = new CPanelAccessible(this);
    // A tool reading the panel holds it up, as a resting pointer does.
    m_slide.HoldForTool();
    const LRESULT answer = LresultFromObject(IID_IAccessible, flags, static_cast<IAccessible*>(m_accessible));
    return answer > 0 ? answer : 0;
}

void CMessPanel::DisconnectAccessible() {
    if (m_accessible == nullptr) return;
    m_accessible->Disconnect();
    m_accessible->Release();
    m_accessible = nullptr;
}
