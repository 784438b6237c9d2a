// The worker's query cycle and the service stop, in-process, against the
// loopback tips and picture servers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "service/data_service.h"
#include "service/worker_stop.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

// Leaves a message.dat of these tips and a messdisplay.dat of these ids
// shown, as an earlier run would.
void SaveEarlierRun(const std::vector<uint32_t>& tips, const std::vector<uint32_t>& shown = {}) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList store;
    for (uint32_t id : tips) store.AddOneShowData(new TipRecord(MakeTip(id, "stored tip")));
    for (uint32_t id : shown) store.AddDisplayData(new DisplayRecord{id, 0, 1, {}});
    ASSERT_TRUE(SaveTipFile(TipFile().c_str(), &store));
    if (!shown.empty()) ASSERT_TRUE(SaveDisplayFile(HistoryFile().c_str(), &store));
}

bool WaitReady(CDataService& service) {
    return PumpUntil([&] { return service.Store() != nullptr && service.Store()->IsReady(); }, 8000);
}

std::vector<uint32_t> HandOutAll(CDataService& service) {
    std::vector<uint32_t> ids;
    while (std::unique_ptr<TipRecord> tip{service.Store()->GetOneShowData(1)}) ids.push_back(uint32_t{tip->nMessageID});
    return ids;
}

class NetQueryCycle : public HostFolderTest {};

TEST_F(NetQueryCycle, OneCycleQueriesWithTheHostsValuesFetchesThePictureWritesBackAndSaves) {
    LoopbackHttpServer http;
    http.Set("/47.gif", HttpAnswer{200, SampleGif()});
    LoopbackTipsServer server(TipsFault::kAnswer,
                              NewTipsAnswer(0, 321, {MakeTip(47, "pictured", http.Url("/47.gif")), MakeTip(48, "text")}, 45));
    server.PointSettingsHere();
    WriteIni("LASTTIME", "PID", "77");
    LineCapture capture;
    CDataService service;
    service.Start();
    // What a host does after msg_init, before it returns to its loop.
    service.SetIdentity("abc", 3, "pid9", 4);
    service.SetMessageID(9);
    EXPECT_EQ(server.WaitForQuery(200), "") << "the worker waits for the host's loop";
    ASSERT_TRUE(WaitReady(service));

    const ReceivedQuery q = ReadQuery(server.WaitForQuery(0));  // its bytes: the native query tests
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.userName + "/" + q.pid + "/" + std::to_string(q.lastTime) + "/" + std::to_string(q.messageId), "abc/pid9/77/9");
    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "321");
    EXPECT_EQ(ReadIni("NEXTPANEL", "INTERVAL"), "45");
    EXPECT_EQ(service.GetPanelInterval(), 30) << "the running service keeps what it read";
    EXPECT_EQ(ReadWholeFile(TipsFolder() + "47.gif"), SampleGif());
    EXPECT_EQ(ReadWholeFile(TipFile()).size(), 20u + 2 * sizeof(TipRecord));
    const std::vector<std::string> expected = {
        "QueryMessage begin", "Query Parameter", "abc", "pid9", "DataService connect server begin",
        "DataService connect server success", "DataService send query data success", "DataService recv data success",
        "QueryMessage finish", "QueryPicture begin", "DataService picture download begin",
        "DataService picture download finish", "DataService picture download success", "QueryPicture finish"};
    size_t next = 0;
    for (const std::string& line : capture.Lines()) next += next < expected.size() && line == expected[next];
    EXPECT_EQ(next, expected.size()) << "lines in this order, others between";

    std::unique_ptr<TipRecord> first(service.Store()->GetOneShowData(1));
    ASSERT_TRUE(first);
    EXPECT_EQ(FieldText(first->szPicture), first->nMessageID == 47 ? TipsFolder() + "47.gif" : "");
    EXPECT_EQ(HandOutAll(service).size(), 1u);
    service.Stop();
    EXPECT_EQ(ReadWholeFile(HistoryFile()).size(), 20u + 2 * 1036u) << "both tips were handed out";
}

TEST_F(NetQueryCycle, OnlyASuccessfulAnswerIsWrittenBackAndOnlyASaneInterval) {
    const struct {
        std::string answer;
        const char *lastTime, *interval;
    } cases[] = {
        {NewTipsAnswer(0, 5, {}, 1), "5", "1"},     {NewTipsAnswer(0, 6, {}, 720), "6", "720"},
        {NewTipsAnswer(0, 7, {}, 0), "7", ""},      {NewTipsAnswer(0, 8, {}, 721), "8", ""},
        {NewTipsAnswer(0, 0xFFFFFFFFu, {}, 0xFFFFFFFBu), "-1", ""},
        {ErrorAnswer(7), "", ""},                   {NewTipsAnswer(3, 9, {}, 30), "", ""},
    };
    for (const auto& c : cases) {
        SetUp();
        LoopbackTipsServer server(TipsFault::kAnswer, c.answer);
        server.PointSettingsHere();
        CDataService service;
        service.Start();
        ASSERT_TRUE(WaitReady(service));
        service.Stop();
        EXPECT_EQ(ReadIni("LASTTIME", "PID") + "/" + ReadIni("NEXTPANEL", "INTERVAL"),
                  std::string(c.lastTime) + "/" + c.interval);
    }
}

// A failed exchange writes nothing back and loses no tip file; the earlier
// run's tips are shown unless its history holds them back; the stop saves
// the history.
TEST_F(NetQueryCycle, AFailedExchangeKeepsTheEarlierRunsFiles) {
    for (TipsFault fault : {TipsFault::kRefuse, TipsFault::kCloseAtOnce, TipsFault::kCutOff}) {
        SetUp();
        SaveEarlierRun({5, 6}, {5});
        LoopbackTipsServer server(fault, NewTipsAnswer(0, 3, {MakeTip(7, "a"), MakeTip(8, "b")}, 20));
        server.PointSettingsHere();
        CDataService service;
        service.Start();
        ASSERT_TRUE(WaitReady(service)) << int(fault);
        EXPECT_EQ(ReadIni("LASTTIME", "PID"), "") << int(fault);
        EXPECT_EQ(HandOutAll(service), std::vector<uint32_t>{6}) << int(fault);
        service.Stop();
        CShowDataList next;
        EXPECT_GE(LoadTipFile(TipFile().c_str(), &next), 1) << int(fault);
        EXPECT_EQ(LoadDisplayFile(HistoryFile().c_str(), &next), 2) << int(fault);
    }
}

TEST_F(NetQueryCycle, OnlyAStartThatLoadedTheDataFilesWritesThemBack) {
    for (const bool fromSettings : {true, false}) {  // TESTMESSAGE/ID, or SetMessageID after the start
        SetUp();
        SaveEarlierRun({5});
        const std::string tipsBefore = ReadWholeFile(TipFile());
        LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 2, {MakeTip(7, "test tip")}, 30));
        server.PointSettingsHere();
        if (fromSettings) WriteIni("TESTMESSAGE", "ID", "7");
        CDataService service;
        service.Start();
        if (!fromSettings) service.SetMessageID(7);
        ASSERT_TRUE(WaitReady(service));
        EXPECT_EQ(ReadQuery(server.WaitForQuery(0)).messageId, 7u);
        HandOutAll(service);
        service.Stop();
        EXPECT_EQ(ReadWholeFile(TipFile()) == tipsBefore, fromSettings) << fromSettings;
        CShowDataList next;
        EXPECT_EQ(LoadDisplayFile(HistoryFile().c_str(), &next), fromSettings ? 0 : 2) << fromSettings;
    }
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

// The stop, right after the start, on a hanging tips server, or in a slow
// picture: quick, no thread left behind, no picture file half-written; a
// tip still waiting for its picture waits again at the next start.
TEST_F(NetQueryCycle, TheStopEndsTheWorkerAtOnceWhereverItWaits) {
    enum Moment { kAtOnce, kHangingServer, kSlowPicture };
    for (const Moment moment : {kAtOnce, kHangingServer, kSlowPicture}) {
        SetUp();
        LoopbackHttpServer http;
        http.Set("/slow.gif", HttpAnswer{200, SampleGif(), "", false, true});
        const std::string answer = NewTipsAnswer(0, 4, {MakeTip(60, "slow", http.Url("/slow.gif"))}, 30);
        LoopbackTipsServer server(moment == kSlowPicture ? TipsFault::kAnswer : TipsFault::kHang, answer);
        server.PointSettingsHere();
        const int threadsBefore = CountThreads();
        CDataService service;
        service.Start();
        if (moment == kHangingServer) ASSERT_TRUE(PumpUntil([&] { return !server.Queries().empty(); }, 8000));
        if (moment == kSlowPicture) ASSERT_TRUE(PumpUntil([&] { return !http.Requests().empty(); }, 8000));
        const DWORD start = GetTickCount();
        service.Stop();
        EXPECT_LT(GetTickCount() - start, 500u) << moment;
        EXPECT_TRUE(PumpUntil([&] { return CountThreads() <= threadsBefore; }, 3000)) << moment;
        EXPECT_TRUE(PumpUntil([&] { return !PathExists(TipsFolder() + "60.gif"); }, 3000)) << moment;
        EXPECT_EQ(ReadIni("LASTTIME", "PID"), moment == kSlowPicture ? "4" : "") << moment;
        if (moment == kAtOnce) EXPECT_EQ(server.WaitForQuery(300), "") << "the stop came before the query";
        if (moment != kSlowPicture) continue;
        CShowDataList next;
        LoadTipFile(TipFile().c_str(), &next);
        std::unique_ptr<TipRecord> waiting(next.GetWaitPicData());
        ASSERT_TRUE(waiting);
        EXPECT_EQ(FieldText(waiting->szPicture), http.Url("/slow.gif"));
    }
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
