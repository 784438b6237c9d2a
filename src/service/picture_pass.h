// The picture pass of the query cycle: every tip waiting for its picture
// gets it fetched into the tips folder, or loses its picture, and goes on to
// the store's slide queue either way.
#pragma once

#include <cstdint>

class CShowDataList;
class CWorkerStop;

// <tips folder><id as signed decimal>.gif; false when it would not fit a
// 260-byte path buffer.
bool PictureFileName(const char* tipsFolder, uint32_t messageId, char (&name)[260]);

// Runs until the picture queue is empty. After a stop, the remaining tips
// (and one whose download the stop cut short) keep their picture address
// and are queued as still waiting for their picture, so that a saved tip
// file hands them to the next start's picture pass. A download that fails
// in any way, a thrown one included, leaves the tip without its picture.
// Always 1.
int RunPicturePass(CShowDataList* store, const char* tipsFolder, CWorkerStop* stop);
