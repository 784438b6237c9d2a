// A picture over HTTP (WinInet) into a local file, on a helper thread that
// the service stop can cut short or leave behind.
#pragma once

#include <cstdint>
#include <string>

class CWorkerStop;

// User agent, and the URL flags: reload from the server, no cache write, no
// automatic redirection, pragma no-cache.
extern const char kPictureUserAgent[];
constexpr uint32_t kPictureUrlFlags = 0x84200100;
constexpr uint32_t kPictureReadBlock = 4096;

// 1 when a 2xx answer's whole body was read and written to `localPath`,
// else 0; a failed download leaves no file behind. `stop` may be null; once
// it is requested no request starts.
int DownloadPicture(const std::string& url, const char* localPath, CWorkerStop* stop);
