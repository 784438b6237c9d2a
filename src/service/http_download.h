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

// How long one picture may take in all, however steadily its bytes come;
// the reason of a download that missed it starts with kMissedDeadline.
constexpr uint32_t kPictureDeadlineMs = 30000;
extern const char kMissedDeadline[];

// "host:port" of an http or https address; empty for any other.
std::string PictureServer(const std::string& url);

// 1 when a 2xx answer's whole body was read and written to `localPath`,
// else 0 and `reason` (may be null) says why; a failed download leaves no
// file behind. `stop` may be null (then the download runs on the calling
// thread, with no deadline); once it is requested no request starts, and a
// download in progress is left to its helper at once.
int DownloadPicture(const std::string& url, const char* localPath, CWorkerStop* stop, std::string* reason = nullptr);

// Test seam: the deadline in milliseconds; 0 restores kPictureDeadlineMs.
void SetPictureDeadlineForTest(uint32_t ms);
