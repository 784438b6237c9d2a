#include "panels/panel_accessible.h"

#include <string>

#include "panels/mess_panel.h"
#include "panels/panel_action.h"

namespace {

// A panel's name when its tip has no title: the start of its text, cut at
// a word.
constexpr size_t kNameFromTextLength = 60;

HRESULT Text(const std::string& ansi, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    const int length = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    *out = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (*out == nullptr) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), *out, length);
    return S_OK;
}

// "&" marks the next character for underlining and is not read out.
std::string WithoutPrefixMarks(const char* caption) {
    std::string out;
    for (const char* c = caption; *c != '\0'; ++c) {
        if (*c == '&' && c[1] != '\0') ++c;
        out += *c;
    }
    return out;
}

std::string FirstWords(const char* text) {
    std::string words(text);
    for (char& c : words)
        if (c == '\r' || c == '\n') c = ' ';
    if (words.size() <= kNameFromTextLength) return words;
    const size_t space = words.rfind(' ', kNameFromTextLength);
    return words.substr(0, space == std::string::npos || space == 0 ? kNameFromTextLength : space);
}

}  // namespace

void CPanelAccessible::Disconnect() {
    if (m_panel == nullptr) return;
    m_panel = nullptr;
    // Proxies in other processes fail from now on without reaching us.
    CoDisconnectObject(static_cast<IAccessible*>(this), 0);
}

HRESULT CPanelAccessible::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IAccessible) return E_NOINTERFACE;
    *out = static_cast<IAccessible*>(this);
    AddRef();
    return S_OK;
}

ULONG CPanelAccessible::AddRef() { return ++m_references; }

ULONG CPanelAccessible::Release() {
    const ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

HRESULT CPanelAccessible::GetTypeInfoCount(UINT* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    return S_OK;
}
HRESULT CPanelAccessible::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT CPanelAccessible::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT CPanelAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT CPanelAccessible::Element(const VARIANT& child, const CDrawer** element) const {
    *element = nullptr;
    if (m_panel == nullptr) return CO_E_OBJNOTCONNECTED;
    if (child.vt != VT_I4) return E_INVALIDARG;
    if (child.lVal == CHILDID_SELF) return S_OK;
    const std::vector<const CDrawer*> children = m_panel->AccessibleElements();
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > children.size()) return E_INVALIDARG;
    *element = children[child.lVal - 1];
    return S_OK;
}

HRESULT CPanelAccessible::get_accParent(IDispatch** parent) {
    if (parent == nullptr) return E_POINTER;
    *parent = nullptr;
    if (m_panel == nullptr) return CO_E_OBJNOTCONNECTED;
    // The window's own object is the parent of its client area.
    return AccessibleObjectFromWindow(m_panel->Window(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                      reinterpret_cast<void**>(parent));
}

HRESULT CPanelAccessible::get_accChildCount(LONG* count) {
    if (count == nullptr) return E_POINTER;
    *count = 0;
    if (m_panel == nullptr) return CO_E_OBJNOTCONNECTED;
    *count = static_cast<LONG>(m_panel->AccessibleElements().size());
    return S_OK;
}

HRESULT CPanelAccessible::get_accChild(VARIANT, IDispatch** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    // Children are simple elements, answered by this object.
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT CPanelAccessible::get_accName(VARIANT child, BSTR* name) {
    if (name == nullptr) return E_POINTER;
    *name = nullptr;
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    const CTextDrawer& text = m_panel->Text();
    if (element == nullptr) return Text(text.Title()[0] != '\0' ? text.Title() : FirstWords(text.Text()), name);
    if (element == &text) return Text(text.Text(), name);
    if (element == &m_panel->Picture()) return Text(m_panel->Picture().Link(), name);
    const auto* button = static_cast<const CButtonDrawer*>(element);
    return Text(button->Kind() == CButtonDrawer::kCloseKind ? "Close" : WithoutPrefixMarks(button->Caption()), name);
}

HRESULT CPanelAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (value == nullptr) return E_POINTER;
    *value = nullptr;
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    // The link behind the text or the picture, as a link's value is.
    if (element == &m_panel->Text()) return Text(m_panel->Text().Link(), value);
    return element == &m_panel->Picture() ? Text(m_panel->Picture().Link(), value) : S_FALSE;
}

HRESULT CPanelAccessible::get_accDescription(VARIANT child, BSTR* description) {
    if (description == nullptr) return E_POINTER;
    *description = nullptr;
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    // The alert's whole text, read after its name.
    return element == nullptr ? Text(m_panel->Text().Text(), description) : S_FALSE;
}

HRESULT CPanelAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (role == nullptr) return E_POINTER;
    VariantInit(role);
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    role->vt = VT_I4;
    role->lVal = element == nullptr               ? ROLE_SYSTEM_ALERT
                 : element == &m_panel->Text()    ? ROLE_SYSTEM_STATICTEXT
                 : element == &m_panel->Picture() ? ROLE_SYSTEM_GRAPHIC
                                                  : ROLE_SYSTEM_PUSHBUTTON;
    return S_OK;
}

HRESULT CPanelAccessible::get_accState(VARIANT child, VARIANT* state) {
    if (state == nullptr) return E_POINTER;
    VariantInit(state);
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    state->vt = VT_I4;
    state->lVal = IsWindowVisible(m_panel->Window()) ? STATE_SYSTEM_FOCUSABLE : STATE_SYSTEM_INVISIBLE;
    if (element != nullptr) state->lVal = STATE_SYSTEM_LINKED;
    return S_OK;
}

HRESULT CPanelAccessible::get_accHelp(VARIANT, BSTR* help) {
    if (help != nullptr) *help = nullptr;
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}
HRESULT CPanelAccessible::get_accHelpTopic(BSTR* file, VARIANT, LONG*) {
    if (file != nullptr) *file = nullptr;
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}
HRESULT CPanelAccessible::get_accKeyboardShortcut(VARIANT, BSTR* shortcut) {
    if (shortcut != nullptr) *shortcut = nullptr;
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}
HRESULT CPanelAccessible::get_accFocus(VARIANT* focus) {
    if (focus != nullptr) VariantInit(focus);
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}
HRESULT CPanelAccessible::get_accSelection(VARIANT* selection) {
    if (selection != nullptr) VariantInit(selection);
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT CPanelAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (action == nullptr) return E_POINTER;
    *action = nullptr;
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    if (element == nullptr) return DISP_E_MEMBERNOTFOUND;
    return Text(element == &m_panel->Text() || element == &m_panel->Picture() ? "Jump" : "Press", action);
}

HRESULT CPanelAccessible::accSelect(long, VARIANT) {
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}

HRESULT CPanelAccessible::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) return E_POINTER;
    *left = *top = *width = *height = 0;
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    RECT r{};
    if (element != nullptr) {
        r = element->Bounds();
    } else {
        GetClientRect(m_panel->Window(), &r);
    }
    MapWindowPoints(m_panel->Window(), nullptr, reinterpret_cast<POINT*>(&r), 2);
    *left = r.left;
    *top = r.top;
    *width = r.right - r.left;
    *height = r.bottom - r.top;
    return S_OK;
}

HRESULT CPanelAccessible::accNavigate(long, VARIANT, VARIANT* end) {
    if (end != nullptr) VariantInit(end);
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}

HRESULT CPanelAccessible::accHitTest(long x, long y, VARIANT* child) {
    if (child == nullptr) return E_POINTER;
    VariantInit(child);
    if (m_panel == nullptr) return CO_E_OBJNOTCONNECTED;
    POINT at{x, y};
    ScreenToClient(m_panel->Window(), &at);
    RECT client{};
    GetClientRect(m_panel->Window(), &client);
    if (!PtInRect(&client, at)) return S_FALSE;
    child->vt = VT_I4;
    child->lVal = CHILDID_SELF;
    // The last of the elements lies on top (the buttons over a wide picture).
    const std::vector<const CDrawer*> children = m_panel->AccessibleElements();
    for (size_t k = 0; k < children.size(); ++k) {
        const RECT r = children[k]->Bounds();
        if (PtInRect(&r, at)) child->lVal = static_cast<LONG>(k + 1);
    }
    return S_OK;
}

HRESULT CPanelAccessible::accDoDefaultAction(VARIANT child) {
    const CDrawer* element = nullptr;
    if (const HRESULT failure = Element(child, &element); FAILED(failure)) return failure;
    if (element == nullptr) return DISP_E_MEMBERNOTFOUND;
    // Posted: the panel clicks the element from its own message loop, as
    // after a mouse click, never inside a caller's cross-process call.
    return PostMessageA(m_panel->Window(), WM_PANEL_PRESS, 0, reinterpret_cast<LPARAM>(element)) ? S_OK : E_FAIL;
}

HRESULT CPanelAccessible::put_accName(VARIANT, BSTR) {
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}
HRESULT CPanelAccessible::put_accValue(VARIANT, BSTR) {
    return m_panel == nullptr ? CO_E_OBJNOTCONNECTED : DISP_E_MEMBERNOTFOUND;
}
