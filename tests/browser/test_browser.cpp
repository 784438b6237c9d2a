// The test browser: installed in the test Wine prefix as the iexplore.exe
// that the shell starts for "IExplore.exe". It appends its parameter (the
// command line after the program name, in UTF-8) as one line to the log
// named by TIPRELAY_BROWSER_LOG and exits at once.
#include <windows.h>

#include <string>

#include "platform/handles.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t log[MAX_PATH] = {};
    DWORD length = GetEnvironmentVariableW(L"TIPRELAY_BROWSER_LOG", log, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 1;
    // The parameter: after the program name, quoted or not, and the blanks after it.
    const wchar_t* p = GetCommandLineW();
    const wchar_t end = *p == L'"' ? L'"' : L' ';
    for (p += *p == L'"'; *p != L'\0' && *p != end && !(end == L' ' && *p == L'\t'); ++p) {}
    for (p += *p == L'"'; *p == L' ' || *p == L'\t'; ++p) {}
    const int n = WideCharToMultiByte(CP_UTF8, 0, p, -1, nullptr, 0, nullptr, nullptr);
    std::string text(size_t(n > 0 ? n : 1), '\n');
    WideCharToMultiByte(CP_UTF8, 0, p, -1, &text[0], n, nullptr, nullptr);
    text.back() = '\n';  // in place of the NUL
    const handles::Kernel file(CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 1;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &length, nullptr);
    return 0;
}
