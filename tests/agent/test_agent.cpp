// The test download agent: an in-process COM server that stands in for the
// host's own agent. It implements the agent interface that the library
// calls, registers itself under the agent's ProgID, and appends one line
// per event to a log, so that tests can see exactly what the library did:
//
//   create                                    an instance was made
//   refuse                                    an instance was refused
//   task<TAB>"url"<TAB>"…"<TAB>…<TAB>1<TAB>1<TAB>10   AddTask with its 8 arguments
//   commit                                    CommitTasks
//   release                                   the last reference went away
//
// Strings are written in double quotes, with every character outside
// printable ASCII and the double quote itself as \uXXXX; a null string is
// written as null.
//
// Environment:
//   TIPRELAY_AGENT_LOG   log path (default: agent-calls.log beside the DLL)
//   TIPRELAY_AGENT_FAIL  any of "create", "task", "commit": that step fails
#include <windows.h>
#include <objbase.h>
#include <olectl.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <new>
#include <string>

#include "actions/agent_interface.h"

namespace {

// {910F2830-CD69-458B-A565-18BAF9505C4D}
constexpr CLSID kAgentClass = {
    0x910f2830, 0xcd69, 0x458b, {0xa5, 0x65, 0x18, 0xba, 0xf9, 0x50, 0x5c, 0x4d}};
constexpr wchar_t kAgentClassText[] = L"{910F2830-CD69-458B-A565-18BAF9505C4D}";

HMODULE g_module = nullptr;
LONG g_objects = 0;
LONG g_locks = 0;

std::wstring Environment(const wchar_t* name) {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
    return std::wstring(path, length);
}

std::wstring LogPath() {
    std::wstring path = Environment(L"TIPRELAY_AGENT_LOG");
    if (!path.empty()) return path;
    path = ModulePath();
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"agent-calls.log";
}

bool ShouldFail(const wchar_t* step) {
    return Environment(L"TIPRELAY_AGENT_FAIL").find(step) != std::wstring::npos;
}

void AppendLine(const std::string& line) {
    HANDLE file = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string Quoted(BSTR text) {
    if (text == nullptr) return "null";
    std::string out = "\"";
    const UINT length = SysStringLen(text);
    for (UINT i = 0; i < length; ++i) {
        const wchar_t c = text[i];
        if (c >= 0x20 && c < 0x7f && c != L'"') {
            out += static_cast<char>(c);
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
        out += escaped;
    }
    return out + "\"";
}

class TestAgent final : public IDownloadAgent {
public:
    TestAgent() {
        InterlockedIncrement(&g_objects);
        AppendLine("create");
    }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IDownloadAgent) {
            return E_NOINTERFACE;
        }
        *out = static_cast<IDownloadAgent*>(this);
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&references_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG left = InterlockedDecrement(&references_);
        if (left == 0) {
            AppendLine("release");
            delete this;
            InterlockedDecrement(&g_objects);
        }
        return left;
    }

    // No type information: the library binds to the vtable.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count == nullptr) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info != nullptr) *info = nullptr;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        return DISP_E_MEMBERNOTFOUND;
    }

    STDMETHODIMP GetVersion(LONG* version) override {
        AppendLine("version");
        if (version == nullptr) return E_POINTER;
        *version = 1;
        return S_OK;
    }
    STDMETHODIMP AddTask(BSTR url, BSTR referrer, BSTR folder, BSTR fileName, BSTR comment,
                         LONG startNow, LONG showProgress, LONG retries) override {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "\t%ld\t%ld\t%ld", static_cast<long>(startNow),
                      static_cast<long>(showProgress), static_cast<long>(retries));
        AppendLine("task\t" + Quoted(url) + "\t" + Quoted(referrer) + "\t" + Quoted(folder) + "\t" +
                   Quoted(fileName) + "\t" + Quoted(comment) + numbers);
        if (ShouldFail(L"task")) return E_FAIL;
        ++queued_;
        return S_OK;
    }
    STDMETHODIMP CommitTasks(LONG* queued) override {
        AppendLine("commit");
        if (ShouldFail(L"commit")) return E_FAIL;
        if (queued != nullptr) *queued = queued_;
        queued_ = 0;
        return S_OK;
    }

private:
    ~TestAgent() = default;

    LONG references_ = 1;
    LONG queued_ = 0;
};

class AgentFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory is a static object: its life is the module's.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        if (ShouldFail(L"create")) {
            AppendLine("refuse");
            return E_OUTOFMEMORY;
        }
        TestAgent* agent = new (std::nothrow) TestAgent();
        if (agent == nullptr) return E_OUTOFMEMORY;
        const HRESULT result = agent->QueryInterface(iid, out);
        agent->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_locks);
        } else {
            InterlockedDecrement(&g_locks);
        }
        return S_OK;
    }
};

AgentFactory g_factory;

bool SetKeyValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const LONG result =
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return result == ERROR_SUCCESS;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (classId != kAgentClass) return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(iid, out);
}

STDAPI DllCanUnloadNow() { return g_objects == 0 && g_locks == 0 ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() {
    const std::wstring classKey = std::wstring(L"CLSID\\") + kAgentClassText;
    const bool written =
        SetKeyValue(kDownloadAgentProgID, nullptr, L"tiprelay test download agent") &&
        SetKeyValue(std::wstring(kDownloadAgentProgID) + L"\\CLSID", nullptr, kAgentClassText) &&
        SetKeyValue(classKey, nullptr, L"tiprelay test download agent") &&
        SetKeyValue(classKey + L"\\ProgID", nullptr, kDownloadAgentProgID) &&
        SetKeyValue(classKey + L"\\InprocServer32", nullptr, ModulePath()) &&
        SetKeyValue(classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    return written ? S_OK : SELFREG_E_CLASS;
}

STDAPI DllUnregisterServer() {
    const std::wstring classKey = std::wstring(L"CLSID\\") + kAgentClassText;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kDownloadAgentProgID);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, kDownloadAgentProgID);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, classKey.c_str());
    RegDeleteKeyW(HKEY_CLASSES_ROOT, classKey.c_str());
    return S_OK;
}
