#include "service/http_download.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/network_timeout_win.h"
#include "platform/pinned_thread_win.h"
#include "service/worker_stop.h"

const char kPictureUserAgent[] = "InetURL/1.1";
const char kMissedDeadline[] = "no whole picture within";

namespace {

std::atomic<uint32_t> g_deadlineMs{kPictureDeadlineMs};

// An Internet handle that the stop owns for this scope: whichever of the
// two comes first closes it.
class CTrackedInternet {
public:
    CTrackedInternet(HINTERNET handle, CWorkerStop& stop)
        : m_handle(stop.Track(handle) ? handle : nullptr), m_stop(stop) {}
    ~CTrackedInternet() { m_stop.Close(m_handle); }
    CTrackedInternet(const CTrackedInternet&) = delete;
    CTrackedInternet& operator=(const CTrackedInternet&) = delete;
    HINTERNET get() const { return m_handle; }

private:
    HINTERNET m_handle;
    CWorkerStop& m_stop;
};

void SetTimeouts(HINTERNET session) {
    DWORD ms = kNetworkTimeoutMs;
    InternetSetOptionA(session, INTERNET_OPTION_CONNECT_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionA(session, INTERNET_OPTION_SEND_TIMEOUT, &ms, sizeof ms);
    InternetSetOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
}

// The answer's status code; 0 when it has none.
DWORD StatusCode(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr)) return 0;
    return status;
}

// A body that ends before the length its answer announced was cut off.
bool ShortOfAnnouncedLength(HINTERNET request, uint64_t received) {
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                        &size, nullptr)) {
        return false;
    }
    return received != announced;
}

// Sets why the download failed and yields 0.
int Failed(std::string* reason, std::string why) {
    *reason = std::move(why);
    return 0;
}

std::string LastError(const char* what) { return std::string(what) + ": error " + std::to_string(GetLastError()); }

// 1 when the body ended normally and every byte reached the file.
int CopyBody(HINTERNET request, HANDLE file, const CWorkerStop& cancel, std::string* reason) {
    char block[kPictureReadBlock];
    uint64_t total = 0;
    for (;;) {
        if (cancel.Requested()) return Failed(reason, "stopped");
        // Asking first makes each read return with what has arrived, so a
        // slow body is read block by block and the loop sees a cancel soon.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return Failed(reason, LastError("read failed"));
        if (cancel.Requested()) return Failed(reason, "stopped");
        DWORD read = 0;
        const DWORD want = available == 0 || available > sizeof block ? sizeof block : available;
        if (!InternetReadFile(request, block, want, &read)) return Failed(reason, LastError("read failed"));
        if (read == 0) return ShortOfAnnouncedLength(request, total) ? Failed(reason, "body cut off") : 1;
        DWORD written = 0;
        if (!WriteFile(file, block, read, &written, nullptr) || written != read)
            return Failed(reason, LastError("file write failed"));
        total += read;
    }
}

struct HttpTarget {
    std::string host;
    INTERNET_PORT port = 0;
    std::string object;  // path and query
    bool secure = false;
};

// False for anything but an http or https address.
bool SplitHttpUrl(const std::string& url, HttpTarget* target) {
    URL_COMPONENTSA parts{};
    parts.dwStructSize = sizeof parts;
    // Lengths of 1 with no buffers: the parts are pointed out in `url`.
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    if (parts.lpszHostName == nullptr || parts.dwHostNameLength == 0) return false;
    target->host.assign(parts.lpszHostName, parts.dwHostNameLength);
    target->port = parts.nPort;
    target->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.lpszUrlPath != nullptr) target->object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (target->object.empty()) target->object = "/";
    // A fragment names a place in the page; only a query goes to the server.
    if (parts.lpszExtraInfo != nullptr && parts.dwExtraInfoLength != 0 && parts.lpszExtraInfo[0] == '?') {
        target->object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    return true;
}

// One download, on the calling thread. `cancel` holds the Internet handles
// and ends the read loop once requested.
int DownloadNow(const std::string& url, const char* localPath, CWorkerStop& cancel, std::string* reason) {
    HttpTarget target;
    if (!SplitHttpUrl(url, &target)) return Failed(reason, "not an http or https address");
    CTrackedInternet session(InternetOpenA(kPictureUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
                           cancel);
    if (session.get() == nullptr) return Failed(reason, LastError("no Internet session"));
    SetTimeouts(session.get());
    // The connection gets a handle of its own that carries the time-outs:
    // not every WinInet hands them on to the connection that InternetOpenUrl
    // makes, and a picture server that stalls in the middle of a body would
    // then hold the download, and its thread, for ever.
    CTrackedInternet connection(InternetConnectA(session.get(), target.host.c_str(), target.port, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0),
                                cancel);
    if (connection.get() == nullptr) return Failed(reason, LastError("no connection"));
    SetTimeouts(connection.get());
    const DWORD flags = kPictureUrlFlags | (target.secure ? INTERNET_FLAG_SECURE : 0);
    CTrackedInternet request(
        HttpOpenRequestA(connection.get(), "GET", target.object.c_str(), nullptr, nullptr, nullptr, flags, 0), cancel);
    if (request.get() == nullptr) return Failed(reason, LastError("no request"));
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return Failed(reason, LastError("request failed"));
    // An error page or an unfollowed redirection is not a picture.
    const DWORD status = StatusCode(request.get());
    if (status < 200 || status > 299) return Failed(reason, "HTTP status " + std::to_string(status));

    handles::Kernel file(
        CreateFileA(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return Failed(reason, LastError("file write failed"));
    const int result = CopyBody(request.get(), file.get(), cancel, reason);
    file.reset();
    if (result == 0) DeleteFileA(localPath);
    return result;
}

// A download on a helper thread of its own, shared until both sides let go.
struct DownloadTask {
    std::string url;
    std::string localPath;
    int result = 0;
    std::string reason;
    CWorkerStop cancel;
};

}  // namespace

int DownloadPicture(const std::string& url, const char* localPath, CWorkerStop* stop, std::string* reason) {
    std::string ignored;
    if (reason == nullptr) reason = &ignored;
    if (stop == nullptr) {
        CWorkerStop own;
        return DownloadNow(url, localPath, own, reason);
    }
    if (stop->Requested()) return Failed(reason, "stopped");
    // Not every WinInet read returns when its handle is closed, so the
    // download runs on a helper that the stop can leave behind: it then ends
    // at its next block or time-out, and removes its partial file itself.
    auto task = std::make_shared<DownloadTask>();
    task->url = url;
    task->localPath = localPath;
    const handles::Kernel helper = platform::StartPinnedThread("picture download", [task] {
        task->result = DownloadNow(task->url, task->localPath.c_str(), task->cancel, &task->reason);
    });
    if (!helper) return Failed(reason, "no thread for the download");
    // The stop first: when both are signalled, the stop wins.
    HANDLE waits[2] = {stop->Event(), helper.get()};
    const DWORD deadline = g_deadlineMs.load();
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, deadline);
    if (woke == WAIT_OBJECT_0 + 1) {
        *reason = task->reason;
        return task->result;
    }
    // A server that trickles its body never reaches an idle time-out: the
    // deadline frees the worker. Either way the helper is left to end at its
    // next block or time-out; it holds its own task and library reference
    // and removes its partial file itself, so nobody needs to wait for it.
    task->cancel.Request();
    if (woke != WAIT_TIMEOUT) return Failed(reason, "stopped");
    return Failed(reason, std::string(kMissedDeadline) + " " + std::to_string(deadline) + " ms");
}

std::string PictureServer(const std::string& url) {
    HttpTarget target;
    if (!SplitHttpUrl(url, &target)) return std::string();
    return target.host + ":" + std::to_string(target.port);
}

void SetPictureDeadlineForTest(uint32_t ms) { g_deadlineMs.store(ms != 0 ? ms : kPictureDeadlineMs); }
