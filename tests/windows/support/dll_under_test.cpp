#include "support/dll_under_test.h"

#include <tlhelp32.h>

#include "support/host_folder.h"

DllUnderTest::DllUnderTest(const std::string& path)
    : module_(LoadLibraryA((path.empty() ? HostFile("tiprelay.dll") : path).c_str())) {}

void PumpMessages(DWORD ms) {
    MSG msg;
    for (const DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

int CountThreads() {
    const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return -1;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    int count = 0;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == GetCurrentProcessId();
    }
    return count;
}
