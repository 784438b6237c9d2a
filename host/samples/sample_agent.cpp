// A sample download agent: the in-process COM server through which tiprelay
// hands a host its downloads. It registers (as the host's installer does,
// with the rights to write the classes root) under its own ProgID, which
// the host names in message.ini:
//
//   [AGENT]
//   PROGID=SampleHost.Agent
//
//   regsvr32 sample_agent.dll      (regsvr32 /u to remove it)
//
// Each committed task is appended to %TEMP%\sample_agent_downloads.txt; a
// product's agent queues it with its own download engine instead. Keep both
// calls short: the tip panel waits for them on the host's UI thread.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "tiprelay_agent.h"

namespace {

// {EF266E3E-6615-4DCE-AFBF-A41AC34AAFAC}: this sample's own class.
constexpr CLSID kSampleAgentClass = {0xef266e3e, 0x6615, 0x4dce, {0xaf, 0xbf, 0xa4, 0x1a, 0xc3, 0x4a, 0xaf, 0xac}};
constexpr wchar_t kSampleAgentClassText[] = L"{EF266E3E-6615-4DCE-AFBF-A41AC34AAFAC}";
constexpr wchar_t kSampleAgentProgID[] = L"SampleHost.Agent";

std::atomic<long> g_liveObjects{0};
HMODULE g_module = nullptr;

class SampleAgent final : public IDownloadAgent {
public:
    SampleAgent() { ++g_liveObjects; }
    ~SampleAgent() { --g_liveObjects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IDownloadAgent) return E_NOINTERFACE;
        *out = static_cast<IDownloadAgent*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

    // The library calls the methods directly, never through IDispatch.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count != nullptr) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
        return E_NOTIMPL;
    }

    HRESULT STDMETHODCALLTYPE GetVersion(LONG* version) override {
        if (version == nullptr) return E_POINTER;
        *version = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddTask(BSTR url, BSTR, BSTR folder, BSTR, BSTR, LONG, LONG, LONG) override {
        if (url == nullptr || url[0] == L'\0') return E_INVALIDARG;
        m_tasks.push_back(std::wstring(url) + L"\t" + (folder != nullptr ? folder : L""));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CommitTasks(LONG* queued) override {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        const std::wstring path = std::wstring(temp) + L"sample_agent_downloads.txt";
        FILE* file = _wfopen(path.c_str(), L"a, ccs=UTF-8");
        if (file == nullptr) return E_FAIL;
        for (const std::wstring& task : m_tasks) fwprintf(file, L"%ls\n", task.c_str());
        fclose(file);
        if (queued != nullptr) *queued = static_cast<LONG>(m_tasks.size());
        m_tasks.clear();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
    std::vector<std::wstring> m_tasks;
};

class SampleAgentFactory final : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // The factory is static: it lives as long as the DLL.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (out == nullptr) return E_POINTER;
        *out = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        SampleAgent* agent = new (std::nothrow) SampleAgent();
        if (agent == nullptr) return E_OUTOFMEMORY;
        const HRESULT result = agent->QueryInterface(iid, out);
        agent->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        lock ? ++g_liveObjects : --g_liveObjects;
        return S_OK;
    }
};

SampleAgentFactory g_factory;

bool SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), name, REG_SZ, value.c_str(),
                           static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = module;
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID classId, REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return classId == kSampleAgentClass ? g_factory.QueryInterface(iid, out) : CLASS_E_CLASSNOTAVAILABLE;
}

STDAPI DllCanUnloadNow() { return g_liveObjects == 0 ? S_OK : S_FALSE; }

// "Apartment": the library creates the agent on the host's UI thread.
STDAPI DllRegisterServer() {
    wchar_t module[MAX_PATH] = {};
    GetModuleFileNameW(g_module, module, MAX_PATH);
    const std::wstring server = std::wstring(L"CLSID\\") + kSampleAgentClassText + L"\\InprocServer32";
    const bool done = SetValue(std::wstring(kSampleAgentProgID) + L"\\CLSID", nullptr, kSampleAgentClassText) &&
                      SetValue(server, nullptr, module) && SetValue(server, L"ThreadingModel", L"Apartment");
    return done ? S_OK : E_FAIL;
}

STDAPI DllUnregisterServer() {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, kSampleAgentProgID);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kSampleAgentClassText).c_str());
    return S_OK;
}
