// The test browser: installed in the test Wine prefix as the iexplore.exe
// that the shell starts for "IExplore.exe". It appends its parameter (the
// first argument after the program name, in UTF-8, empty if none) as one
// line to the log named by TIPRELAY_BROWSER_LOG and exits at once.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    wchar_t log[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"TIPRELAY_BROWSER_LOG", log, MAX_PATH);
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (length == 0 || length >= MAX_PATH || args == nullptr) return 1;
    const wchar_t* parameter = count > 1 ? args[1] : L"";
    const int length16 = static_cast<int>(wcslen(parameter));
    std::string text(length16 * 3 + 1, '\n');  // the line ends in the first byte the conversion leaves
    text.resize(WideCharToMultiByte(CP_UTF8, 0, parameter, length16, &text[0], length16 * 3, nullptr, nullptr) + 1);
    FILE* file = _wfopen(log, L"ab");
    if (file == nullptr) return 1;
    std::fputs(text.c_str(), file);
    return std::fclose(file) == 0 ? 0 : 1;
}
