#include "support/click_rig.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <sstream>

#include "panels/panel_action.h"
#include "support/host_folder.h"

namespace click_rig {
namespace {

std::string BrowserLog() { return HostFile("browser-calls.log"); }
std::string AgentLog() { return HostFile("agent-calls.log"); }

bool CopyBrowserTo(const std::string& folder) {
    if (!PathExists(folder)) return true;
    const std::string target = folder + "\\iexplore.exe";
    const std::string source = HostFile("test_browser.exe");
    if (ReadWholeFile(target) == ReadWholeFile(source)) return true;
    return CopyFileA(source.c_str(), target.c_str(), FALSE) != 0;
}

bool PreferInstalledBrowser() {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    static const char kNative[] = "native";
    const LONG result = RegSetValueExA(key, "iexplore.exe", 0, REG_SZ,
                                       reinterpret_cast<const BYTE*>(kNative), sizeof kNative);
    RegCloseKey(key);
    return result == ERROR_SUCCESS;
}

bool CallAgentExport(const char* name) {
    HMODULE agent = LoadLibraryA(HostFile("test_agent.dll").c_str());
    if (agent == nullptr) return false;
    using RegisterFn = HRESULT(__stdcall*)();
    auto fn = reinterpret_cast<RegisterFn>(GetProcAddress(agent, name));
    const bool done = fn != nullptr && SUCCEEDED(fn());
    FreeLibrary(agent);
    return done;
}

int RunningBrowsers() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
        if (lstrcmpiA(entry.szExeFile, "iexplore.exe") == 0) ++count;
    }
    CloseHandle(snapshot);
    return count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

}  // namespace

bool InstallBrowser() {
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    char programs[MAX_PATH] = {};
    GetEnvironmentVariableA("ProgramFiles", programs, MAX_PATH);
    return CopyBrowserTo(system) &&
           CopyBrowserTo(std::string(programs) + "\\Internet Explorer") && PreferInstalledBrowser();
}

bool RegisterAgent() { return CallAgentExport("DllRegisterServer"); }
bool UnregisterAgent() { return CallAgentExport("DllUnregisterServer"); }

void ClearLogs() {
    DeleteFileA(BrowserLog().c_str());
    DeleteFileA(AgentLog().c_str());
    SetEnvironmentVariableA("TIPRELAY_BROWSER_LOG", BrowserLog().c_str());
    SetEnvironmentVariableA("TIPRELAY_AGENT_LOG", AgentLog().c_str());
}

void SetAgentFailure(const std::string& steps) {
    SetEnvironmentVariableA("TIPRELAY_AGENT_FAIL", steps.empty() ? nullptr : steps.c_str());
}

std::vector<std::string> BrowserStarts() {
    // A browser that the shell started exists by the time the call
    // returned; once none runs, every one has written its line.
    const DWORD start = GetTickCount();
    while (RunningBrowsers() > 0 && GetTickCount() - start < 10000) Sleep(10);
    return Lines(ReadWholeFile(BrowserLog()));
}

std::vector<std::string> AgentCalls() { return Lines(ReadWholeFile(AgentLog())); }

PanelActions TakePanelActions(HWND window, bool dispatch) {
    PanelActions actions;
    MSG msg;
    while (PeekMessageA(&msg, window, WM_PANEL_ACTION, WM_PANEL_ACTION, PM_REMOVE)) {
        actions.emplace_back(msg.wParam, msg.lParam);
        if (dispatch) DispatchMessageA(&msg);
    }
    return actions;
}

std::string TaskLine(const std::string& url) {
    return "task\t\"" + url + "\"\t\"\"\t\"C:\\QLDOWNLOAD\\\"\t\"\"\t\"\"\t1\t1\t10";
}

}  // namespace click_rig

void ClickRigTest::SetUp() {
    PanelTest::SetUp();
    ASSERT_TRUE(click_rig::InstallBrowser());
    ASSERT_TRUE(click_rig::RegisterAgent());
    click_rig::SetAgentFailure("");
    click_rig::ClearLogs();
    comStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
}

void ClickRigTest::TearDown() {
    if (comStarted_) CoUninitialize();
    click_rig::SetAgentFailure("");
    click_rig::RegisterAgent();
    PanelTest::TearDown();
}
