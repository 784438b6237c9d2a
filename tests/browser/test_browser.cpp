// The test browser: installed in the test Wine prefix as the iexplore.exe
// that the shell starts for "IExplore.exe". It appends its parameter (the
// command line after the program name, in UTF-8) as one line to a log and
// exits at once.
//
//   TIPRELAY_BROWSER_LOG   log path (default: browser-calls.log beside it)
#include <windows.h>

#include <string>

namespace {

std::wstring LogPath() {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"TIPRELAY_BROWSER_LOG", value, MAX_PATH);
    if (length > 0 && length < MAX_PATH) return std::wstring(value, length);
    wchar_t path[MAX_PATH] = {};
    const DWORD pathLength = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring self(path, pathLength);
    return self.substr(0, self.find_last_of(L'\\') + 1) + L"browser-calls.log";
}

// The command line after the program name and the blanks that follow it.
const wchar_t* Parameter(const wchar_t* line) {
    if (*line == L'"') {
        ++line;
        while (*line != L'\0' && *line != L'"') ++line;
        if (*line == L'"') ++line;
    } else {
        while (*line != L'\0' && *line != L' ' && *line != L'\t') ++line;
    }
    while (*line == L' ' || *line == L'\t') ++line;
    return line;
}

std::string ToUtf8(const wchar_t* text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 1) return std::string();
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const std::string line = ToUtf8(Parameter(GetCommandLineW())) + "\n";
    HANDLE file = CreateFileW(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}
