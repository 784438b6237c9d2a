#include "service/host_paths.h"

#include <cstring>

namespace {

bool Join(char (&out)[kPathBufferSize], const char* folder, size_t folderLength,
          const char* tail) {
    const size_t tailLength = std::strlen(tail);
    if (folderLength + tailLength + 1 > kPathBufferSize) return false;
    std::memcpy(out, folder, folderLength);
    std::memcpy(out + folderLength, tail, tailLength + 1);
    return true;
}

}  // namespace

bool BuildHostPaths(const char* executablePath, HostPaths* paths) {
    *paths = HostPaths{};
    if (executablePath == nullptr) return false;
    const char* lastSlash = std::strrchr(executablePath, '\\');
    if (lastSlash == nullptr) return false;
    const size_t folderLength = static_cast<size_t>(lastSlash - executablePath);

    HostPaths built;
    const bool fits = Join(built.tipsFolder, executablePath, folderLength, "\\tips\\") &&
                      Join(built.settingsFile, executablePath, folderLength, "\\message.ini") &&
                      Join(built.tipFile, executablePath, folderLength, "\\tips\\message.dat") &&
                      Join(built.historyFile, executablePath, folderLength,
                           "\\tips\\messdisplay.dat");
    if (!fits) return false;
    *paths = built;
    return true;
}
