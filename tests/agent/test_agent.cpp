// The test download agent: an in-process COM server registered under the
// agent's ProgID in place of the host's own. It appends a line per call:
//   create | refuse | task<TAB>"url"<TAB>…<TAB>1<TAB>1<TAB>10 (AddTask's
//   8 arguments, strings quoted in UTF-8, a null string as null) | commit |
//   release (the last reference)
//   TIPRELAY_AGENT_LOG   log path (unset: no log)
//   TIPRELAY_AGENT_FAIL  any of "create", "task", "commit": that step fails
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cstdio>
#include <string>

#include "actions/agent_interface.h"
#include "platform/handles.h"

namespace {

// {910F2830-CD69-458B-A565-18BAF9505C4D}
constexpr CLSID kAgentClass = {0x910f2830, 0xcd69, 0x458b, {0xa5, 0x65, 0x18, 0xba, 0xf9, 0x50, 0x5c, 0x4d}};
constexpr wchar_t kAgentClassText[] = L"{910F2830-CD69-458B-A565-18BAF9505C4D}";

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return std::wstring(value, length < MAX_PATH ? length : 0);
}

bool ShouldFail(const wchar_t* step) { return Environment(L"TIPRELAY_AGENT_FAIL").find(step) != std::wstring::npos; }

void AppendLine(const std::string& line) {
    FILE* log = _wfopen(Environment(L"TIPRELAY_AGENT_LOG").c_str(), L"ab");
    if (log == nullptr) return;
    std::fputs((line + "\n").c_str(), log);
    std::fclose(log);
}

std::string Quoted(BSTR text) {
    if (text == nullptr) return "null";
    std::string out(SysStringLen(text) * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text, SysStringLen(text), &out[0], int(out.size()), nullptr, nullptr));
    return "\"" + out + "\"";
}

// One class is both the agent and, as the static g_factory that is never
// released to zero, its class factory. COM hands it valid pointers only;
// without DllCanUnloadNow it never unloads the DLL.
class TestAgent final : public IDownloadAgent, public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        const bool agent = iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IDownloadAgent;
        *out = agent                      ? static_cast<void*>(static_cast<IDownloadAgent*>(this))
               : iid == IID_IClassFactory ? static_cast<IClassFactory*>(this)
                                          : nullptr;
        if (*out == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            AppendLine("release");
            delete this;
        }
        return left;
    }
    // No type information: the library binds to the vtable.
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP GetVersion(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP AddTask(BSTR url, BSTR referrer, BSTR folder, BSTR fileName, BSTR comment, LONG startNow,
                         LONG showProgress, LONG retries) override {
        std::string line = "task";
        for (BSTR text : {url, referrer, folder, fileName, comment}) line += "\t" + Quoted(text);
        for (LONG number : {startNow, showProgress, retries}) line += "\t" + std::to_string(number);
        AppendLine(line);
        return ShouldFail(L"task") ? E_FAIL : S_OK;
    }
    STDMETHODIMP CommitTasks(LONG*) override {
        AppendLine("commit");
        return ShouldFail(L"commit") ? E_FAIL : S_OK;
    }
    STDMETHODIMP CreateInstance(IUnknown*, REFIID iid, void** out) override {
        *out = nullptr;
        if (ShouldFail(L"create")) {
            AppendLine("refuse");
            return E_OUTOFMEMORY;
        }
        AppendLine("create");
        const handles::ComPtr<TestAgent> agent(new TestAgent());
        return agent->QueryInterface(iid, out);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

  private:
    LONG references_ = 1;
} g_factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    *out = nullptr;
    return classId == kAgentClass ? g_factory.QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" IMAGE_DOS_HEADER __ImageBase;  // the linker's name for this DLL's own module

STDAPI DllRegisterServer() {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(reinterpret_cast<HMODULE>(&__ImageBase), module, MAX_PATH);
    const std::wstring server = std::wstring(L"CLSID\\") + kAgentClassText + L"\\InprocServer32";
    const struct {
        std::wstring key;
        const wchar_t* name;
        std::wstring value;
    } values[] = {{std::wstring(kDownloadAgentProgID) + L"\\CLSID", nullptr, kAgentClassText},
                  {server, nullptr, module},
                  {server, L"ThreadingModel", L"Apartment"}};
    for (const auto& v : values)
        if (RegSetKeyValueW(HKEY_CLASSES_ROOT, v.key.c_str(), v.name, REG_SZ, v.value.c_str(),
                            static_cast<DWORD>((v.value.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
            return E_FAIL;
    return S_OK;
}
