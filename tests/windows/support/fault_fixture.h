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

std::string TipFile();      // tips\message.dat
std::string HistoryFile();  // tips\messdisplay.dat

// Threads of this process that started in tiprelay.dll.
int LibraryThreads();

// msg_exit, timed in milliseconds.
double TimedExit(const DllUnderTest& dll);

// A data file as the library writes it: header (version 11, count, record
// size), then exactly `count` records of that size, each of them whole.
bool IsWholeTipFile(const std::string& bytes);
bool IsWholeHistoryFile(const std::string& bytes);

// Files written by the real library: a message.dat of two tips (one with
// its picture fetched) and a messdisplay.dat of two entries, from one run
// against loopback servers. Made once per test program.
struct RealDataFiles {
    std::string tips;
    std::string history;
};
const RealDataFiles& RealFiles();

// Puts the real files (or the given bytes) in place as the previous run's.
void PlaceDataFiles(const std::string& tips, const std::string& history);

class FaultTest : public HostFolderTest {
protected:
    void SetUp() override;
    // The file is as before, or replaced by a whole one.
    void ExpectIntactOrWhole(const std::string& path, const std::string& before, bool tipFile) const;
    // After msg_exit: within the bound, no thread of the library left.
    void ExpectCleanExit(double exitMs, const std::string& what) const;

    DllUnderTest dll_;
};
