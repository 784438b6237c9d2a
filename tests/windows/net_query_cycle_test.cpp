// The worker's query cycle, the service stop and picture downloads,
// in-process, against the loopback tips and picture servers; the
// transport's address rule.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/network_timeout_win.h"
#include "protocol/tcp_socket_win.h"
#include "service/data_service.h"
#include "service/http_download.h"
#include "service/picture_pass.h"
#include "service/query_exchange.h"
#include "service/worker_stop.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "support/tips_answer.h"

namespace {

// What the sliding panel's window does once the host's thread is back in its loop.
bool WaitReady(CDataService& service) {
    service.HostLoopSignal()();
    return PumpUntil([&] { return service.Store() != nullptr && service.Store()->IsReady(); }, 8000);
}

std::vector<uint32_t> HandOutAll(CShowDataList* store) {
    std::vector<uint32_t> ids;
    while (std::unique_ptr<TipRecord> tip{store->GetOneShowData(1)}) ids.push_back(tip->nMessageID);
    return ids;
}

TEST(NetDottedAddress, FourGroupsOfDigitsOnly) {
    const std::pair<const char*, bool> cases[] = {
        {"10.1.2.3", true},   {"999.1.1.1", true},  {"10.1.2", false},   {"10..2.3", false},
        {"1.2.3.4.5", false}, {" 1.2.3.4", false},  {"1.2.3.4.", false}, {"", false},
        {"1.2.3.4a", false},  {"localhost", false}, {"1.2.3.-4", false}, {nullptr, false},
    };
    for (const auto& [host, dotted] : cases) EXPECT_EQ(IsDottedAddress(host), dotted) << (host ? host : "null");
}

class NetPictureDownload : public HostFolderTest {};

TEST_F(NetPictureDownload, OnlyACompleteSuccessfulAnswerReplacesThePicture) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    LoopbackHttpServer http;
    const std::string target = TipsFolder() + "47.gif";
    http.Set("/ok.gif", HttpAnswer{200, "followed"});
    const struct {
        const char* name;
        HttpAnswer answer;
        std::string url;
        int expected;
    } cases[] = {
        {"gif", {200, SampleGif()}, "", 1},
        {"empty", {200, ""}, "", 1},
        {"not found", {404, "<html>gone</html>"}, "", 0},
        {"redirect", {302, "moved", "Location: /ok.gif\r\n"}, "", 0},
        {"cut off", {200, SampleGif(), "", HttpBody::kCutOff}, "", 0},
        {"unreachable", {}, "http://127.0.0.1:1/x.gif", 0},
        {"not a url", {}, "not a url", 0},
        {"no url", {}, " ", 0},
    };
    for (const auto& c : cases) {
        http.Set("/case", c.answer);
        if (c.expected == 1) WriteWholeFile(target, std::string(20000, 'o'));
        const size_t before = http.Requests().size();
        const std::string url = c.url.empty() ? http.Url("/case") : c.url == " " ? "" : c.url;
        EXPECT_EQ(DownloadPicture(url, target.c_str(), nullptr), c.expected) << c.name;
        EXPECT_EQ(ReadWholeFile(target), c.expected == 1 ? c.answer.body : "") << c.name;
        EXPECT_EQ(PathExists(target), c.expected == 1) << c.name << ": a failed download leaves no file";
        EXPECT_EQ(http.Requests().size(), before + c.url.empty()) << c.name << ": one request, no redirection";
        DeleteFileA(target.c_str());
    }
    const std::string request = http.Requests()[0];
    EXPECT_EQ(request.rfind("GET /case HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nUser-Agent: InetURL/1.1\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos) << request;
}

TEST(NetPictureFileName, TheTipsFolderAlwaysFits) {
    char name[260];
    const std::string longest(260 - 16, 'f');
    EXPECT_TRUE(PictureFileName(longest.c_str(), 0x80000000u, name)) << "the tips folder always fits";
    EXPECT_FALSE(PictureFileName((longest + "g").c_str(), 0x80000000u, name));
}

class NetQueryCycle : public HostFolderTest {};

// Tip -10 gets its picture as -10.gif; tip 48's is missing: it is shown
// without one. What a cycle writes back and saves: the exchange table below.
TEST_F(NetQueryCycle, OneCycleQueriesWithTheHostsValuesAndFetchesThePictures) {
    LoopbackHttpServer http;
    http.Set("/a.gif", HttpAnswer{200, SampleGif()});
    const std::vector<TipRecord> tips = {MakeTip(0xFFFFFFF6u, "pictured", http.Url("/a.gif")),
                                         MakeTip(48, "missing picture", http.Url("/missing.gif"))};
    LoopbackTipsServer server(TipsFault::kSegments, NewTipsAnswer(0, 321, tips, 45));  // gathered before decoding
    WriteIni("TCPSERVER", "HOST", "localhost");
    WriteIni("TCPSERVER", "PORT", std::to_string(65536 + server.Port()));  // the port is its low 16 bits
    WriteIni("LASTTIME", "PID", "77");
    LineCapture capture;
    CDataService service;
    service.Start();
    // What a host does after msg_init, before it returns to its loop.
    service.SetIdentity("abc", 3, "pid9", 4);
    service.SetMessageID(9);
    Sleep(200);
    EXPECT_EQ(server.Query(), "") << "the worker waits for the host's loop";
    ASSERT_TRUE(WaitReady(service));

    QueryFields q;  // its bytes: the native query tests
    ASSERT_TRUE(ReadQuery(server.Query(), &q));
    EXPECT_EQ(q.userName, "abc");
    EXPECT_EQ(q.pid, "pid9");
    EXPECT_EQ(q.lastTime, 77u);
    EXPECT_EQ(q.messageId, 9u);
    EXPECT_EQ(service.GetPanelInterval(), 30) << "the running service keeps what it read";
    EXPECT_EQ(ReadWholeFile(TipsFolder() + "-10.gif"), SampleGif());
    EXPECT_FALSE(PathExists(TipsFolder() + "48.gif"));
    std::vector<std::string> lines = capture.Lines();  // first where the start looks
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + std::min<size_t>(lines.size(), 6)),
              (std::vector<std::string>{"DataService settings file:", HostFile("message.ini"),
                                        "DataService server:", "localhost:" + std::to_string(server.Port()),
                                        "DataService data folder:", TipsFolder()}));
    lines.clear();
    for (const std::string& line : capture.Lines())
        if (line.rfind("Query", 0) == 0 || line.rfind("DataService", 0) == 0) lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "DataService settings file:", "DataService server:", "DataService data folder:", "QueryMessage begin",
                  "Query Parameter", "DataService connect server begin", "DataService connect server success",
                  "DataService send query data success", "DataService recv data success", "QueryMessage finish",
                  "QueryPicture begin", "DataService picture download begin", "DataService picture download finish",
                  "DataService picture download success", "DataService picture download begin",
                  "DataService picture download finish", "DataService picture download failed: tip 48: HTTP status 404",
                  "QueryPicture finish"}));
    std::vector<std::pair<uint32_t, std::string>> shown;  // id, picture
    while (std::unique_ptr<TipRecord> tip{service.Store()->GetOneShowData(1)})
        shown.push_back({tip->nMessageID, FieldText(tip->szPicture)});
    EXPECT_EQ(shown, (decltype(shown){{0xFFFFFFF6u, TipsFolder() + "-10.gif"}, {48, ""}}));
    service.Stop();
}

// What an exchange leaves: the values written back to message.ini, the message ID the query asked
// for (-1: no query), the tips handed out, the tips of the tip file when this run rewrote it, and
// the history entries after the stop, the lines that say why a step failed. The defaults: a failed
// exchange after an earlier run's tips 5 and 6, 5 shown.
struct Exchange {
    std::string lastTime, interval;
    int64_t asked = 0;
    std::vector<uint32_t> handed = {6};
    std::vector<uint32_t> saved = {6};  // none: the file was left as it was
    int history = 2;
    std::string failed;  // each "... failed: ..." line
    NAMED_FIELDS(Exchange, lastTime, interval, asked, handed, saved, history, failed)
};

// A failed exchange writes nothing back and loses no file; a run for one
// message ID neither loads nor writes them.
TEST_F(NetQueryCycle, EachExchangeLeavesTheSettingsAndFilesItShould) {
    using enum TipsFault;
    const std::string tip7 = NewTipsAnswer(0, 2, {MakeTip(7, "a")}, 20);
    const Exchange stored{.lastTime = "2", .interval = "20", .handed = {7, 6}, .saved = {6, 7}, .history = 3};
    const auto unasked = [](const std::string& failed) { return Exchange{.asked = -1, .saved = {}, .failed = failed}; };
    const struct {
        TipsFault fault = kAnswer;
        std::string answer;
        Exchange expected;
        int messageId = 0;    // > 0: TESTMESSAGE/ID; < 0: SetMessageID(-messageId) after the start
        DWORD heldShare = 0;  // another program holds message.dat open, sharing only this
        size_t userSize = 0;
        std::string host = "127.0.0.1";
    } cases[] = {
        {.answer = NewTipsAnswer(0, 5, {}, 1), .expected = {.lastTime = "5", .interval = "1"}},
        {.answer = NewTipsAnswer(0, 6, {}, 720), .expected = {.lastTime = "6", .interval = "720"}},
        {.answer = NewTipsAnswer(0, 7, {}, 0), .expected = {.lastTime = "7"}},
        {.answer = NewTipsAnswer(0, 8, {}, 721), .expected = {.lastTime = "8"}},
        {.answer = NewTipsAnswer(0, 0xFFFFFFFFu, {}, 0xFFFFFFFBu), .expected = {.lastTime = "-1"}},
        {.answer = ErrorAnswer(7), .expected = {}},
        {.answer = NewTipsAnswer(3, 9, {}, 30), .expected = {}},
        {.fault = kOversize, .answer = tip7, .expected = stored},  // read up to its buffer
        {kRefuse, tip7, unasked("DataService connect server failed: connection refused")},
        {kCutOff, tip7, {.saved = {}, .failed = "DataService recv data failed: refused by the decoder"}},
        // Decoded without complaint, yet no answer: the exchange completes, the line says what came.
        {.answer = "", .expected = {.failed = "DataService recv data failed: answer empty"}},
        {.answer = std::string(64, 'x'), .expected = {.failed = "DataService recv data failed: not a tips answer"}},
        {kAnswer, tip7, unasked("DataService connect server failed: name lookup failed"), 0, 0, 0,
         "no-such-host.invalid"},
        // A query too big for the buffer is not sent.
        {kAnswer, tip7, unasked("DataService send query data failed: query larger than its buffer"), 0, 0,
         kExchangeBufferSize - 40},
        // The server sends tip 5 again: shown before, it is not shown again.
        {.answer = NewTipsAnswer(0, 2, {MakeTip(5, "again")}, 20), .expected = {.lastTime = "2", .interval = "20"}},
        // Tips of one message ID are not stored: the last time stays.
        {kAnswer, tip7, {.interval = "20", .asked = 7, .handed = {7}, .saved = {}, .history = 1}, 7},
        {kAnswer, tip7, {"2", "20", 7, {7, 6}, {6, 7}, 3}, -7},
        // Held open with write sharing: no replace, but a write in place.
        {.answer = tip7, .expected = stored, .heldShare = FILE_SHARE_READ | FILE_SHARE_WRITE},
        // Held open without: nothing stored, so the next start asks for tip 7 again.
        {.answer = tip7,
         .expected = {"", "20", 0, {7, 6}, {}, 3, "DataService save tip file failed: file write failed: " + TipFile()},
         .heldShare = FILE_SHARE_READ},
    };
    WSADATA sockets;  // the tip manager's part
    ASSERT_EQ(WSAStartup(0x0102, &sockets), 0);
    for (const auto& c : cases) {
        ResetHostFolder();
        SaveEarlierRun({5, 6}, {5});
        LineCapture capture;
        const std::string tipsBefore = ReadWholeFile(TipFile());
        LoopbackTipsServer server(c.fault, c.answer);
        WriteIni("TCPSERVER", "HOST", c.host);
        WriteIni("TCPSERVER", "PORT", std::to_string(server.Port()));
        if (c.messageId > 0) WriteIni("TESTMESSAGE", "ID", std::to_string(c.messageId));
        handles::Kernel holder(c.heldShare == 0 ? nullptr
                                                : CreateFileA(TipFile().c_str(), GENERIC_READ, c.heldShare, nullptr,
                                                              OPEN_EXISTING, 0, nullptr));
        CDataService service;
        service.Start();
        if (c.messageId < 0) service.SetMessageID(uint32_t(-c.messageId));
        service.SetIdentity(std::string(c.userSize, 'u').c_str(), int(c.userSize), nullptr, 0);
        ASSERT_TRUE(WaitReady(service));
        Exchange got{ReadIni("LASTTIME", "PID"), ReadIni("NEXTPANEL", "INTERVAL")};
        got.handed = HandOutAll(service.Store());
        service.Stop();
        holder.reset();
        for (const auto& file : std::filesystem::directory_iterator(TipsFolder()))
            EXPECT_EQ(file.path().extension(), ".dat") << "no temporary file stays behind";
        QueryFields q;
        got.asked = ReadQuery(server.Query(), &q) ? int64_t(q.messageId) : -1;
        CShowDataList saved;
        LoadTipFile(TipFile().c_str(), &saved);
        saved.SetReady();
        got.saved = ReadWholeFile(TipFile()) != tipsBefore ? HandOutAll(&saved) : std::vector<uint32_t>{};
        got.history = LoadDisplayFile(HistoryFile().c_str(), &saved);
        for (const std::string& line : capture.Lines())
            if (line.find(" failed: ") != std::string::npos) got.failed += line;
        EXPECT_EQ(got, c.expected);
    }
    WSACleanup();
}

TEST_F(NetQueryCycle, AWorkerLeftInAStoreStepTouchesNothingOfTheNextStart) {
    static HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    SaveEarlierRun({5});
    LoopbackTipsServer server(TipsFault::kRefuse);
    server.PointSettingsHere();
    SetWorkerStoreStepHookForTest([] {
        SetEvent(inside);
        WaitForSingleObject(release, 5000);
    });
    auto first = std::make_unique<CDataService>();
    first->Start();
    const CShowDataList* oldStore = first->Store();
    ASSERT_TRUE(PumpUntil([] { return WaitForSingleObject(inside, 0) == WAIT_OBJECT_0; }, 8000));
    const DWORD stopAt = GetTickCount();
    first->Stop();  // walks away after its bound
    EXPECT_LT(GetTickCount() - stopAt, 1000u);
    first.reset();
    SetWorkerStoreStepHookForTest(nullptr);
    DeleteFileA(TipFile().c_str());

    CDataService second;
    second.Start();
    EXPECT_NE(second.Store(), oldStore) << "the old worker still holds the old store";
    EXPECT_EQ(second.Store()->IsReady(), 0);
    SetEvent(release);
    ASSERT_TRUE(WaitReady(second));
    EXPECT_EQ(second.Store()->GetShowDataCount(), 0);
    second.Stop();
}

// The stop right after the start, on a hanging server or in a stalled picture: quick, no thread
// left, no half-written picture; a tip waiting for its picture waits again at the next start.
// Regression: where closing handles does not end a blocked read (Wine's WinInet), the download's
// helper lives on until one network step's time-out, no longer.
TEST_F(NetQueryCycle, TheStopEndsTheWorkerAtOnceWhereverItWaits) {
    enum Moment { kAtOnce, kHangingServer, kSlowPicture };
    for (const Moment moment : {kAtOnce, kHangingServer, kSlowPicture}) {
        ResetHostFolder();
        LoopbackHttpServer http;
        http.Set("/slow.gif", HttpAnswer{200, SampleGif(), "", HttpBody::kStall});
        const std::string answer = NewTipsAnswer(0, 4, {MakeTip(60, "slow", http.Url("/slow.gif"))}, 30);
        LoopbackTipsServer server(moment == kSlowPicture ? TipsFault::kAnswer : TipsFault::kHang, answer);
        server.PointSettingsHere();
        const int threadsBefore = CountThreads();
        CDataService service;
        service.Start();
        if (moment == kHangingServer) ASSERT_TRUE(PumpUntil([&] { return !server.Query().empty(); }, 8000));
        if (moment == kSlowPicture) ASSERT_TRUE(PumpUntil([&] { return !http.Requests().empty(); }, 8000));
        PumpMessages(moment == kSlowPicture ? 100 : 0);  // into the body
        const DWORD start = GetTickCount();
        service.Stop();
        EXPECT_LT(GetTickCount() - start, 500u) << moment;
        EXPECT_TRUE(PumpUntil([&] { return CountThreads() <= threadsBefore; }, kNetworkTimeoutMs + 5000)) << moment;
        EXPECT_FALSE(PathExists(TipsFolder() + "60.gif")) << moment;
        EXPECT_EQ(ReadIni("LASTTIME", "PID"), moment == kSlowPicture ? "4" : "") << moment;
        if (moment == kAtOnce) Sleep(300);
        EXPECT_TRUE(moment != kAtOnce || server.Query().empty()) << "the stop came before the query";
        if (moment != kSlowPicture) continue;
        CShowDataList next;
        LoadTipFile(TipFile().c_str(), &next);
        std::unique_ptr<TipRecord> waiting(next.GetWaitPicData());
        ASSERT_TRUE(waiting);
        EXPECT_EQ(FieldText(waiting->szPicture), http.Url("/slow.gif"));
    }
}

// Regression: a picture server that trickles its body held every tip back, pictureless ones
// included, for as long as it kept sending. Its picture now has a deadline, its later pictures are
// not asked for, and the tips go on: the fast server's with their picture.
TEST_F(NetQueryCycle, ASlowPictureServerHoldsTheTipsBackOnlyUntilItsDeadline) {
    LoopbackHttpServer slow, fast;
    slow.Set("/slow.gif", HttpAnswer{200, SampleGif(), "", HttpBody::kTrickle});
    fast.Set("/fast.gif", HttpAnswer{200, SampleGif()});
    const std::vector<TipRecord> tips = {MakeTip(1, "slow", slow.Url("/slow.gif")),
                                         MakeTip(2, "slow too", slow.Url("/slow.gif")),
                                         MakeTip(3, "fast", fast.Url("/fast.gif")), MakeTip(4, "no picture")};
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 1, tips, 30));
    server.PointSettingsHere();
    SetPictureDeadlineForTest(1500);
    LineCapture capture;
    const int threadsBefore = CountThreads();
    CDataService service;
    service.Start();
    const DWORD start = GetTickCount();
    ASSERT_TRUE(WaitReady(service));
    EXPECT_LT(GetTickCount() - start, 1500u + 3000u) << "one deadline, not one per picture";
    SetPictureDeadlineForTest(0);
    EXPECT_EQ(slow.Requests().size(), 1u);
    std::string shown;
    while (std::unique_ptr<TipRecord> tip{service.Store()->GetOneShowData(1)})
        shown += std::to_string(tip->nMessageID) + (FieldText(tip->szPicture).empty() ? " " : "+");
    EXPECT_EQ(shown, "4 1 2 3+");
    EXPECT_TRUE(capture.Contains("DataService picture download failed: tip 1: no whole picture within 1500 ms"));
    EXPECT_TRUE(capture.Contains("DataService picture download failed: tip 2: its server missed an earlier deadline"));
    const DWORD stopAt = GetTickCount();
    service.Stop();
    EXPECT_LT(GetTickCount() - stopAt, 500u);
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() <= threadsBefore; }, 10000))
        << "the helper ends at its next byte";
    EXPECT_FALSE(PathExists(TipsFolder() + "1.gif")) << "and removes its partial file";
}

// The stop's hold on the worker: a worker outside its gate is given up and
// touches nothing more; one inside keeps the store; the request closes the
// tracked Internet handles and any made after it.
TEST(NetWorkerStop, TheGateAndTheRequest) {
    CWorkerStop outside, inside;
    { CGateHold hold(&outside); }
    EXPECT_TRUE(outside.GiveUp());
    EXPECT_FALSE(CGateHold(&outside).held());
    ASSERT_TRUE(inside.Enter());
    EXPECT_FALSE(inside.GiveUp());
    inside.Leave();
    EXPECT_FALSE(inside.Enter()) << "leaving does not reopen the gate";

    HINTERNET session = InternetOpenA("InetURL/1.1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    ASSERT_TRUE(outside.Track(session));
    outside.Request();
    EXPECT_EQ(WaitForSingleObject(outside.Event(), 0), WAIT_OBJECT_0);
    DWORD timeout = 0, size = sizeof timeout;
    EXPECT_FALSE(InternetQueryOptionA(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, &size)) << "closed";
    outside.Close(session);  // already closed by the stop: nothing happens
    EXPECT_FALSE(outside.Track(InternetOpenA("InetURL/1.1", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)));
}

}  // namespace
