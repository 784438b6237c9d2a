// What every fault test of the real library checks: msg_exit returns
// within its bound, no thread of the library is left, and each data file is
// the one from before or a whole new one.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "support/dll_under_test.h"
#include "support/host_folder.h"

// The stop waits at most 500 ms for the worker; the rest is the history
// save and the windows going, on a slow machine under Wine.
constexpr double kExitBoundMs = 650;

int LibraryThreads();  // threads of this process that started in tiprelay.dll

// A message.dat of two tips and a messdisplay.dat of two entries, as the
// library saves them. Made once per test program.
struct RealDataFiles {
    std::string tips, history;
};
const RealDataFiles& RealFiles();
// Puts these bytes in place as the previous run's data files.
void PlaceDataFiles(const std::string& tips, const std::string& history);

class FaultTest : public HostFolderTest {
protected:
    void SetUp() override;
    double TimedExit();  // msg_exit, in milliseconds
    // TimedExit within the bound, and no thread of the library left.
    double ExpectCleanExit(const std::string& what);
    // The file is as before, or a whole data file; gone only when it was not whole before.
    void ExpectIntactOrWhole(const std::string& path, const std::string& before) const;

    DllUnderTest dll_;
};
