// Where the data files, the pictures and the written-back settings live:
// beside the host program when its folder can be written, else in the
// user's own application data, or wherever message.ini's [DATA] FOLDER says.
#pragma once

#include <string>

#include "service/host_paths.h"

// `paths` holds the host folder's paths on entry (its message.ini names any
// [DATA] FOLDER) and the data folder's on return; the tips folder is made.
// A move is logged with both folders. When no folder can be written the
// host folder's paths stay, as a start always had them.
void PlaceDataFolder(const char* executablePath, HostPaths* paths);

// The user's folder for a host program: %LOCALAPPDATA%\<program name
// without its extension>; empty when the system names no such folder.
std::string PerUserFolder(const char* executablePath);
