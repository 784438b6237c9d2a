// Fetching one tip the way the library does: its own service asks the tips
// server for the tip by message ID, decodes the answer into its store and
// downloads the picture into the tips folder beside this program.
#pragma once

#include <cstdint>
#include <memory>

#include "protocol/tip_record.h"

// The tip as the store holds it after the query cycle (its picture path
// naming the downloaded file, or empty when the download failed); null when
// no such tip came within `boundMs`. `moment` is a second inside the tip's
// window: the store keeps only tips that are valid at the time it reads,
// and the preview shows every tip, expired or not yet valid ones too.
// Needs Windows Sockets started, and runs the calling thread's messages.
std::unique_ptr<TipRecord> FetchTip(uint32_t messageId, int32_t moment, DWORD boundMs);
