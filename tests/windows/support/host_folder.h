// The test program is the host: the library works in the test program's
// folder. These helpers give each test a clean message.ini and tips\.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "shared/line_capture.h"
#include "shared/named_fields.h"

std::string ExeFolder();                        // no trailing backslash
std::string HostFile(const std::string& name);  // ExeFolder() + "\" + name
std::string TipsFolder();                       // ExeFolder() + "\tips\"
inline std::string TipFile() { return TipsFolder() + "message.dat"; }
inline std::string HistoryFile() { return TipsFolder() + "messdisplay.dat"; }

bool PathExists(const std::string& path);
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);
void RemoveTree(const std::string& path);  // a file, or a folder and the files in it
void WriteIni(const std::string& section, const std::string& key, const std::string& value);
std::string ReadIni(const std::string& section, const std::string& key);

// Removes message.ini and tips\ before and after each test.
class HostFolderTest : public testing::Test {
  protected:
    void SetUp() override { ResetHostFolder(); }
    void TearDown() override { ResetHostFolder(); }
    // For a test that starts afresh more than once.
    static void ResetHostFolder();
};
