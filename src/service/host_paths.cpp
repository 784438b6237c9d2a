#include "service/host_paths.h"

#include <cstring>

#include "platform/platform.h"
#include "store/data_file_io.h"

namespace {

// The longest name the library writes in the tips folder: the history
// file's temporary file. A picture's name, its id and ".gif", is shorter.
constexpr size_t kLongestTipsName = sizeof "messdisplay.dat" - 1 + kTempNameExtra;
static_assert(sizeof "-2147483648.gif" - 1 <= kLongestTipsName, "a picture name would not fit");

bool Join(char (&out)[kPathBufferSize], const char* folder, size_t folderLength, const char* tail) {
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
                      std::strlen(built.tipsFolder) + kLongestTipsName < kPathBufferSize &&
                      Join(built.settingsFile, executablePath, folderLength, "\\message.ini") &&
                      Join(built.tipFile, executablePath, folderLength, "\\tips\\message.dat") &&
                      Join(built.historyFile, executablePath, folderLength, "\\tips\\messdisplay.dat");
    if (!fits) {
        // Files that could not be written would show the same tips at every start.
        platform::DebugLine("DataService host folder too long for its files:");
        platform::DebugLine(executablePath);
        return false;
    }
    *paths = built;
    return true;
}
