#include "support/host_folder.h"

#include <windows.h>

#include <fstream>
#include <iterator>

std::string ExeFolder() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string file(path);
    return file.substr(0, file.find_last_of('\\'));
}

std::string HostFile(const std::string& name) { return ExeFolder() + "\\" + name; }
std::string TipsFolder() { return ExeFolder() + "\\tips\\"; }
bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

void RemoveTree(const std::string& path) {
    const std::string base = path.back() == '\\' ? path : path + '\\';
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((base + "*").c_str(), &found);
    for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileA(search, &found))
        DeleteFileA((base + found.cFileName).c_str());
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    if (!RemoveDirectoryA(base.c_str())) DeleteFileA(path.c_str());
}

void WriteIni(const std::string& section, const std::string& key, const std::string& value) {
    WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), HostFile("message.ini").c_str());
}

std::string ReadIni(const std::string& section, const std::string& key) {
    char value[512] = {};
    GetPrivateProfileStringA(section.c_str(), key.c_str(), "", value, sizeof value, HostFile("message.ini").c_str());
    return value;
}

void HostFolderTest::ResetHostFolder() {
    RemoveTree(HostFile("message.ini"));
    RemoveTree(TipsFolder());
}
