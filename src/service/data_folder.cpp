#include "service/data_folder.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "platform/platform.h"

namespace {

// The tips folder made (or there) and a file created in it: the folder
// takes what the library writes.
bool TakesFiles(const char* tipsFolder) {
    CreateDirectoryA(tipsFolder, nullptr);
    const std::string probe = std::string(tipsFolder) + "write.probe";
    const HANDLE file = CreateFileA(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

// The paths inside `folder` (made with its parents), when it takes files.
bool PathsIn(const std::string& folder, const char* executablePath, HostPaths* paths) {
    if (folder.empty()) return false;
    SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
    const char* name = std::strrchr(executablePath, '\\');
    HostPaths inside;
    // The same rules as beside the host: a folder too long is refused.
    if (!BuildHostPaths((folder + (name != nullptr ? name : "\\host.exe")).c_str(), &inside)) return false;
    if (!TakesFiles(inside.tipsFolder)) return false;
    *paths = inside;
    return true;
}

std::string ConfiguredFolder(const char* settingsFile) {
    char text[MAX_PATH] = {};
    GetPrivateProfileStringA("DATA", "FOLDER", "", text, sizeof text, settingsFile);
    char expanded[MAX_PATH] = {};
    const DWORD length = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
    std::string folder = length > 0 && length <= sizeof expanded ? expanded : text;
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    return folder;
}

void LogPair(const char* label, const std::string& value) {
    platform::DebugLine(label);
    platform::DebugLine(value.c_str());
}

}  // namespace

std::string PerUserFolder(const char* executablePath) {
    char local[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, local))) return "";
    const char* name = std::strrchr(executablePath, '\\');
    std::string program = name != nullptr ? name + 1 : executablePath;
    const size_t dot = program.rfind('.');
    if (dot != std::string::npos && dot > 0) program.resize(dot);
    return std::string(local) + "\\" + program;
}

void PlaceDataFolder(const char* executablePath, HostPaths* paths) {
    const std::string hostFolder(paths->settingsFile, std::strrchr(paths->settingsFile, '\\'));
    const std::string configured = ConfiguredFolder(paths->settingsFile);
    if (!configured.empty()) {
        if (PathsIn(configured, executablePath, paths)) return;
        LogPair("DataService data folder from message.ini cannot be written:", configured);
    }
    if (TakesFiles(paths->tipsFolder)) return;
    // Installed where a standard user cannot write (Program Files): the
    // user's own folder keeps what the library writes.
    const std::string perUser = PerUserFolder(executablePath);
    const bool moved = PathsIn(perUser, executablePath, paths);
    LogPair("DataService host folder cannot be written:", hostFolder);
    LogPair(moved ? "DataService data kept in:" : "DataService no folder for the data either:", perUser);
}
