// The panel as a screen reader sees it: an alert as it rises, the tip's
// parts as accessible children, a default action that clicks, and an
// object that fails once the panel has stopped.
#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

#include "platform/handles.h"
#include "shared/named_fields.h"
#include "support/panel_fixture.h"

namespace {

HWND g_alerted = nullptr;
void CALLBACK OnAlert(HWINEVENTHOOK, DWORD, HWND window, LONG object, LONG, DWORD, DWORD) {
    if (object == OBJID_CLIENT) g_alerted = window;
}

struct Child {
    long role = 0;
    std::wstring name;
    NAMED_FIELDS(Child, role, name)
};

Child Read(IAccessible* object, const VARIANT& child) {
    Child read;
    VARIANT role;
    if (object->get_accRole(child, &role) == S_OK) read.role = role.lVal;
    BSTR name = nullptr;
    if (object->get_accName(child, &name) == S_OK && name != nullptr) read.name = name;
    SysFreeString(name);
    return read;
}

using PanelAccessible = PanelTest;

TEST_F(PanelAccessible, AScreenReaderHearsTheAlertReadsTheTipAndPressesItsButtonOnce) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    const HWINEVENTHOOK hook =
        SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, OnAlert, 0, 0, WINEVENT_OUTOFCONTEXT);
    // The button's address looks like a switch: the browser call refuses it
    // with one line, which counts the runs.
    ASSERT_EQ(Show(panel_, TipContent{1, "Weekly tip", "", "A tip to read", "", {"&Open"}, {"OPENURL"}, {"-k x"}}, 1),
              1);
    EXPECT_TRUE(PumpUntil([] { return g_alerted != nullptr; }, 3000));
    EXPECT_EQ(g_alerted, panel_.Window());
    RaisePanel(panel_);

    handles::ComPtr<IAccessible> panel;
    const HRESULT taken = AccessibleObjectFromWindow(panel_.Window(), OBJID_CLIENT, IID_IAccessible, panel.put_void());
#ifdef _WIN64
    // Wine's 64-bit prefix has no proxy for IAccessible, so no window can hand its object out there.
    if (taken == E_NOINTERFACE) {
        UnhookWinEvent(hook);
        CoUninitialize();
        GTEST_SKIP() << "IAccessible cannot be marshalled in this 64-bit prefix";
    }
#endif
    ASSERT_EQ(taken, S_OK);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    EXPECT_EQ(Read(panel.get(), self), (Child{.role = ROLE_SYSTEM_ALERT, .name = L"Weekly tip"}));
    LONG count = 0;
    ASSERT_EQ(panel->get_accChildCount(&count), S_OK);
    VARIANT children[8];
    LONG got = 0;
    ASSERT_EQ(AccessibleChildren(panel.get(), 0, std::min<LONG>(count, 8), children, &got), S_OK);
    std::vector<Child> read;
    for (LONG k = 0; k < got; ++k) read.push_back(Read(panel.get(), children[k]));
    EXPECT_EQ(read, (std::vector<Child>{{.role = ROLE_SYSTEM_STATICTEXT, .name = L"A tip to read"},
                                        {.role = ROLE_SYSTEM_PUSHBUTTON, .name = L"Open"},
                                        {.role = ROLE_SYSTEM_PUSHBUTTON, .name = L"Close"}}));
    long x = 0, y = 0, width = 0, height = 0;
    ASSERT_EQ(panel->accLocation(&x, &y, &width, &height, children[1]), S_OK);
    const RECT r = WindowRect(panel_.Window());
    EXPECT_EQ(std::make_tuple(x - r.left, y - r.top, width, height), std::make_tuple(121L, 139L, 30L, 18L));

    LineCapture lines;
    ASSERT_EQ(panel->accDoDefaultAction(children[1]), S_OK);
    PumpMessages(100);
    const std::vector<std::string> logged = lines.Lines();
    EXPECT_EQ(std::count(logged.begin(), logged.end(), "OpenInBrowser refuses an address that begins like a switch:"),
              1);
    EXPECT_EQ(panel_.State(), PANEL_LEAVING);

    panel_.Destroy();
    EXPECT_EQ(panel->get_accChildCount(&count), CO_E_OBJNOTCONNECTED);
    EXPECT_EQ(panel->accDoDefaultAction(children[1]), CO_E_OBJNOTCONNECTED);
    panel.reset();
    UnhookWinEvent(hook);
    CoUninitialize();
}

}  // namespace
