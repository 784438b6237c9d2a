// The picture pass of the query cycle: every tip waiting for its picture
// gets it fetched over HTTP into the tips folder, or loses its picture, and
// goes on to the store's slide queue either way.
#pragma once

#include <cstdint>
#include <string>

class CShowDataList;
class CWorkerStop;

// User agent, and the URL flags: reload from the server, no cache write, no
// automatic redirection, pragma no-cache.
extern const char kPictureUserAgent[];
constexpr uint32_t kPictureUrlFlags = 0x84200100;
constexpr uint32_t kPictureReadBlock = 4096;

// 1 when a 2xx answer's whole body was read and written to `localPath`,
// else 0; a failed download leaves no file behind. `stop` may be null.
int DownloadPicture(const std::string& url, const char* localPath, CWorkerStop* stop);

// <tips folder><id as signed decimal>.gif; false when it would not fit a
// 260-byte path buffer.
bool PictureFileName(const char* tipsFolder, uint32_t messageId, char (&name)[260]);

// Runs until the picture queue is empty. After a stop, the remaining tips
// (and one whose download the stop cut short) keep their picture address
// and are queued as still waiting for their picture, so that a saved tip
// file hands them to the next start's picture pass. Always 1.
int RunPicturePass(CShowDataList* store, const char* tipsFolder, CWorkerStop* stop);
