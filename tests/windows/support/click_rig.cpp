#include "support/click_rig.h"

#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <sstream>

#include "platform/handles.h"

namespace click_rig {
namespace {

std::string BrowserLog() { return HostFile("browser-calls.log"); }
std::string AgentLog() { return HostFile("agent-calls.log"); }

bool CopyBrowserTo(const std::string& folder) {
    const std::string target = folder + "\\iexplore.exe";
    const std::string source = HostFile("test_browser.exe");
    return !PathExists(folder) || ReadWholeFile(target) == ReadWholeFile(source) ||
           CopyFileA(source.c_str(), target.c_str(), FALSE);
}

// Copies the test browser over the prefix's iexplore.exe files, and makes
// Wine load that file rather than its built-in stand-in, which never ends.
bool InstallBrowser() {
    char system[MAX_PATH] = {}, programs[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    GetEnvironmentVariableA("ProgramFiles", programs, MAX_PATH);
    HKEY created = nullptr;
    if (!CopyBrowserTo(system) || !CopyBrowserTo(std::string(programs) + "\\Internet Explorer") ||
        RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0, KEY_WRITE, nullptr,
                        &created, nullptr) != ERROR_SUCCESS)
        return false;
    const handles::RegistryKey key(created);
    static const char kNative[] = "native";
    return RegSetValueExA(key.get(), "iexplore.exe", 0, REG_SZ, reinterpret_cast<const BYTE*>(kNative),
                          sizeof kNative) == ERROR_SUCCESS;
}

bool CallAgentExport(const char* name) {
    const handles::Module agent(LoadLibraryA(HostFile("test_agent.dll").c_str()));
    if (!agent) return false;
    auto fn = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(agent.get(), name));
    return fn != nullptr && SUCCEEDED(fn());
}

int RunningBrowsers() {
    const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return -1;
    PROCESSENTRY32 entry;
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
        count += lstrcmpiA(entry.szExeFile, "iexplore.exe") == 0;
    return count;
}

Lines FileLines(const std::string& path) {
    Lines lines;
    std::istringstream in(ReadWholeFile(path));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

bool RegisterAgent() { return CallAgentExport("DllRegisterServer"); }
bool UnregisterAgent() { return CallAgentExport("DllUnregisterServer"); }

void SetAgentFailure(const std::string& step) {
    SetEnvironmentVariableA("TIPRELAY_AGENT_FAIL", step.empty() ? nullptr : step.c_str());
}

void ClearLogs() {
    DeleteFileA(BrowserLog().c_str());
    DeleteFileA(AgentLog().c_str());
    SetEnvironmentVariableA("TIPRELAY_BROWSER_LOG", BrowserLog().c_str());
    SetEnvironmentVariableA("TIPRELAY_AGENT_LOG", AgentLog().c_str());
}

Lines BrowserStarts() {
    // A browser the shell started exists once the call has returned; when
    // none runs, each has written its line.
    const DWORD start = GetTickCount();
    while (RunningBrowsers() > 0 && GetTickCount() - start < 10000) Sleep(10);
    return FileLines(BrowserLog());
}

Lines AgentCalls() { return FileLines(AgentLog()); }

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
