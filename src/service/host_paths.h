// Where the library keeps its files: beside the host program, never beside
// the library itself.
#pragma once

#include <cstddef>

constexpr size_t kPathBufferSize = 260;

struct HostPaths {
    char tipsFolder[kPathBufferSize] = {};    // <host folder>\tips\  (ends in a backslash)
    char settingsFile[kPathBufferSize] = {};  // <host folder>\message.ini
    char tipFile[kPathBufferSize] = {};       // <host folder>\tips\message.dat
    char historyFile[kPathBufferSize] = {};   // <host folder>\tips\messdisplay.dat
};

// Builds the four paths from the full path of the host executable. Refuses
// (false, paths left empty) a path without a backslash, and, logged, a
// folder so long that some file the library writes there (the temporary
// files of the saves, the pictures) would not fit a 260-byte path.
bool BuildHostPaths(const char* executablePath, HostPaths* paths);
