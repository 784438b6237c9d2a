// The DLL and the demo host carry the project version in their properties.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/host_folder.h"

namespace {

std::string VersionString(const std::string& file, const char* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    if (size == 0) return "";
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(file.c_str(), 0, size, block.data())) return "";
    void* value = nullptr;
    UINT length = 0;
    const std::string query = std::string("\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueA(block.data(), query.c_str(), &value, &length) || length == 0) return "";
    return static_cast<const char*>(value);
}

TEST(VersionResource, TheDllAndTheHostShowTheProjectVersion) {
    for (const char* file : {"tiprelay.dll", "tiphost.exe"}) {
        const std::string path = HostFile(file);
        EXPECT_EQ(VersionString(path, "FileVersion"), TIPRELAY_VERSION) << file;
        EXPECT_EQ(VersionString(path, "ProductVersion"), TIPRELAY_VERSION) << file;
        EXPECT_EQ(VersionString(path, "OriginalFilename"), file) << file;
    }
}

}  // namespace
