// What every fuzz target shares: a fixed clock, silent diagnostics, a store
// that may only delete inside a folder that does not exist, and scratch
// files of this process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class CShowDataList;

constexpr int32_t kFuzzNow = 1700000000;

// Once per process: fixes the clock and silences the diagnostic lines.
void FuzzSetUp();

// A store whose picture folder is a folder nobody has.
void ConfineStore(CShowDataList& store);

// A file path private to this process, in memory where possible.
std::string ScratchPath(const char* name);

// Writes bytes to path; false if that fails.
bool WriteWhole(const std::string& path, const uint8_t* data, size_t size);

// Takes every tip and history entry out through the ways the panels and
// the picture pass use.
void DrainStore(CShowDataList& store);

// Ends the run loudly when a property does not hold.
void Require(bool holds, const char* what);
