// Reading message.ini, and the write-back of the server's values.
#pragma once

#include <cstdint>

#include "service/service_settings.h"

ServiceSettings ReadSettings(const char* settingsFile);

// The values the server writes back (last time, panel interval), from the
// file they were written to; those it lacks keep what `settings` holds.
void ReadWrittenBack(const char* settingsFile, ServiceSettings* settings);

// Decimal text, as the private-profile functions store it. False when the
// file could not be written.
bool WriteSettingInt(const char* settingsFile, const char* section, const char* key, int32_t value);
