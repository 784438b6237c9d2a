// The test program is the host: the library works in the test program's
// folder. These helpers give each test a clean message.ini and tips\.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

std::string ExeFolder();                       // no trailing backslash
std::string HostFile(const std::string& name);  // ExeFolder() + "\" + name
std::string TipsFolder();                       // ExeFolder() + "\tips\"

bool PathExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);
void WriteIni(const std::string& section, const std::string& key, const std::string& value);
std::string ReadIni(const std::string& section, const std::string& key);

// Removes message.ini and tips\ before and after each test.
class HostFolderTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// Collects the library's diagnostic lines (in-process code only; the DLL
// writes its own to the debugger output).
class LineCapture {
public:
    LineCapture();
    ~LineCapture();
    std::vector<std::string> Lines() const;
    bool Contains(const std::string& line) const;
};
