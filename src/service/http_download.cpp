#include "service/http_download.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>

#include "platform/platform.h"
#include "platform/network_timeout_win.h"
#include "platform/pinned_thread_win.h"
#include "service/worker_stop.h"

const char kPictureUserAgent[] = "InetURL/1.1";

namespace {
// How long a stopped download waits for its helper to end.
constexpr DWORD kHelperGraceMs = 250;

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

// An error page or an unfollowed redirection is not a picture.
bool AnsweredWithSuccess(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        return false;
    }
    return status >= 200 && status <= 299;
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

// 1 when the body ended normally and every byte reached the file.
int CopyBody(HINTERNET request, HANDLE file, const CWorkerStop& cancel) {
    char block[kPictureReadBlock];
    uint64_t total = 0;
    for (;;) {
        if (cancel.Requested()) return 0;
        // Asking first makes each read return with what has arrived, so a
        // slow body is read block by block and the loop sees a cancel soon.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0)) return 0;
        if (cancel.Requested()) return 0;
        DWORD read = 0;
        const DWORD want = available == 0 || available > sizeof block ? sizeof block : available;
        if (!InternetReadFile(request, block, want, &read)) return 0;
        if (read == 0) return ShortOfAnnouncedLength(request, total) ? 0 : 1;
        DWORD written = 0;
        if (!WriteFile(file, block, read, &written, nullptr) || written != read) return 0;
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
int DownloadNow(const std::string& url, const char* localPath, CWorkerStop& cancel) {
    HttpTarget target;
    if (!SplitHttpUrl(url, &target)) return 0;
    CTrackedInternet session(InternetOpenA(kPictureUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0),
                           cancel);
    if (session.get() == nullptr) return 0;
    SetTimeouts(session.get());
    // The connection gets a handle of its own that carries the time-outs:
    // not every WinInet hands them on to the connection that InternetOpenUrl
    // makes, and a picture server that stalls in the middle of a body would
    // then hold the download, and its thread, for ever.
    CTrackedInternet connection(InternetConnectA(session.get(), target.host.c_str(), target.port, nullptr, nullptr,
                                                 INTERNET_SERVICE_HTTP, 0, 0),
                                cancel);
    if (connection.get() == nullptr) return 0;
    SetTimeouts(connection.get());
    const DWORD flags = kPictureUrlFlags | (target.secure ? INTERNET_FLAG_SECURE : 0);
    CTrackedInternet request(
        HttpOpenRequestA(connection.get(), "GET", target.object.c_str(), nullptr, nullptr, nullptr, flags, 0), cancel);
    if (request.get() == nullptr) return 0;
    if (!HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0)) return 0;
    if (!AnsweredWithSuccess(request.get())) return 0;

    handles::Kernel file(
        CreateFileA(localPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return 0;
    const int result = CopyBody(request.get(), file.get(), cancel);
    file.reset();
    if (result == 0) DeleteFileA(localPath);
    return result;
}

// A download on a helper thread of its own, shared until both sides let go.
struct DownloadTask {
    std::string url;
    std::string localPath;
    int result = 0;
    CWorkerStop cancel;
};

}  // namespace

int DownloadPicture(const std::string& url, const char* localPath, CWorkerStop* stop) {
    if (stop == nullptr) {
        CWorkerStop own;
        return DownloadNow(url, localPath, own);
    }
    if (stop->Requested()) return 0;
    // Not every WinInet read returns when its handle is closed, so the
    // download runs on a helper that the stop can leave behind: it then ends
    // at its next block or time-out, and removes its partial file itself.
    auto task = std::make_shared<DownloadTask>();
    task->url = url;
    task->localPath = localPath;
    const handles::Kernel helper = platform::StartPinnedThread(
        "picture download", [task] { task->result = DownloadNow(task->url, task->localPath.c_str(), task->cancel); });
    if (!helper) return 0;
    // The stop first: when both are signalled, the stop wins.
    HANDLE waits[2] = {stop->Event(), helper.get()};
    const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    if (woke == WAIT_OBJECT_0 + 1) return task->result;
    task->cancel.Request();
    // Where closing its handles ends the read, or the body is still coming,
    // the helper ends within moments: waiting for it here (well inside the
    // stop's bound) leaves no thread behind once the stop returns.
    WaitForSingleObject(helper.get(), kHelperGraceMs);
    return 0;
}
