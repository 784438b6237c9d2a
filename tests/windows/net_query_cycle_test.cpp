// The worker's query cycle and the service stop, in-process, against the
// loopback tips and picture servers.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "service/data_service.h"
#include "store/display_file.h"
#include "store/display_record.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_http_server.h"
#include "support/loopback_tips_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

// True when `expected` occurs in `lines` in this order (other lines between).
bool InOrder(const std::vector<std::string>& lines, const std::vector<std::string>& expected) {
    size_t next = 0;
    for (const std::string& line : lines) {
        if (next < expected.size() && line == expected[next]) ++next;
    }
    return next == expected.size();
}

std::string TipFile() { return TipsFolder() + "message.dat"; }
std::string HistoryFile() { return TipsFolder() + "messdisplay.dat"; }

// Writes a valid message.dat holding `tip`.
void SaveTipsForNextStart(const TipRecord& tip) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList store;
    auto* saved = new TipRecord(tip);
    saved->bPicReady = 1;
    store.AddOneShowData(saved);
    ASSERT_TRUE(SaveTipFile(TipFile().c_str(), &store));
}

class NetQueryCycle : public HostFolderTest {
protected:
    // Starts a service and pumps until its worker has raised the ready flag.
    bool RunUntilReady(CDataService& service) {
        service.Start();
        return PumpUntil([&] { return service.Store() != nullptr && service.Store()->IsReady(); }, 8000);
    }
};

TEST_F(NetQueryCycle, OneCycleFetchesTipsAndPicturesWritesBackAndSaves) {
    LoopbackHttpServer http;
    http.Set("/47.gif", HttpAnswer{200, SampleGif(), "", false, false});
    const TipRecord withPicture = MakeTip(47, "with picture", http.Url("/47.gif"));
    const TipRecord textOnly = MakeTip(48, "text only");
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 321, {withPicture, textOnly}, 45));
    server.PointSettingsHere();
    WriteIni("LASTTIME", "PID", "77");

    LineCapture capture;
    CDataService service;
    service.SetIdentity("abc", 3, "pid9", 4);
    ASSERT_TRUE(RunUntilReady(service));

    const ReceivedQuery q = ReadQuery(server.WaitForQuery(0));
    ASSERT_TRUE(q.ok);
    EXPECT_EQ(q.version, 10u);
    EXPECT_EQ(q.name, "QUERYNEWMESS");
    EXPECT_EQ(q.restLength, 4u + 12 + 4 + 3 + 4 + 4 + 12);
    EXPECT_EQ(q.userName, "abc");
    EXPECT_EQ(q.pid, "pid9");
    EXPECT_EQ(q.lastTime, 77u);
    EXPECT_EQ(q.messageId, 0u);

    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "321");
    EXPECT_EQ(ReadIni("NEXTPANEL", "INTERVAL"), "45");
    EXPECT_EQ(service.GetPanelInterval(), 30) << "the running service keeps what it read";
    EXPECT_EQ(ReadWholeFile(TipsFolder() + "47.gif"), SampleGif());
    EXPECT_EQ(ReadWholeFile(TipFile()).size(), 20u + 2 * sizeof(TipRecord));
    EXPECT_TRUE(InOrder(capture.Lines(),
                        {"QueryMessage begin", "Query Parameter", "abc", "pid9",
                         "DataService connect server begin", "DataService connect server success",
                         "DataService send query data success", "DataService recv data success",
                         "QueryMessage finish", "QueryPicture begin",
                         "DataService picture download begin", "DataService picture download finish",
                         "DataService picture download success", "QueryPicture finish"}));

    // The store hands out the fetched tip with its local picture.
    std::unique_ptr<TipRecord> first(service.Store()->GetOneShowData(1));
    std::unique_ptr<TipRecord> second(service.Store()->GetOneShowData(1));
    ASSERT_TRUE(first && second);
    const TipRecord& pictured = first->nMessageID == 47 ? *first : *second;
    EXPECT_EQ(FieldText(pictured.szPicture), TipsFolder() + "47.gif");
    service.Stop();
    EXPECT_EQ(ReadWholeFile(HistoryFile()).size(), 20u + 2 * 1036u) << "both tips were handed out";
}

TEST_F(NetQueryCycle, OnlyASuccessfulAnswerIsWrittenBackAndOnlyASaneInterval) {
    struct Case {
        std::string answer;
        const char* lastTime;
        const char* interval;
    };
    const Case cases[] = {
        {NewTipsAnswer(0, 5, {}, 1), "5", "1"},
        {NewTipsAnswer(0, 6, {}, 720), "6", "720"},
        {NewTipsAnswer(0, 7, {}, 0), "7", ""},
        {NewTipsAnswer(0, 8, {}, 721), "8", ""},
        {NewTipsAnswer(0, 0xFFFFFFFFu, {}, 0xFFFFFFFBu), "-1", ""},
        {ErrorAnswer(7), "", ""},
        {NewTipsAnswer(3, 9, {}, 30), "", ""},
    };
    for (const Case& c : cases) {
        SetUp();
        LoopbackTipsServer server(TipsFault::kAnswer, c.answer);
        server.PointSettingsHere();
        CDataService service;
        ASSERT_TRUE(RunUntilReady(service));
        service.Stop();
        EXPECT_EQ(ReadIni("LASTTIME", "PID"), c.lastTime) << c.lastTime << "/" << c.interval;
        EXPECT_EQ(ReadIni("NEXTPANEL", "INTERVAL"), c.interval) << c.lastTime << "/" << c.interval;
    }
}

TEST_F(NetQueryCycle, AFailedExchangeKeepsTheTipFileAndStillShowsItsTips) {
    const TipsFault faults[] = {TipsFault::kRefuse, TipsFault::kCloseAtOnce, TipsFault::kCutOff};
    for (TipsFault fault : faults) {
        SetUp();
        SaveTipsForNextStart(MakeTip(5, "from last time"));
        const std::string before = ReadWholeFile(TipFile());
        LoopbackTipsServer server(fault, NewTipsAnswer(0, 3, {MakeTip(6, "a"), MakeTip(7, "b")}, 20));
        server.PointSettingsHere();
        CDataService service;
        ASSERT_TRUE(RunUntilReady(service)) << int(fault);
        // An answer that decodes to nothing still completes the exchange and
        // saves the same tips again.
        EXPECT_TRUE(ReadWholeFile(TipFile()) == before) << int(fault);
        EXPECT_EQ(ReadIni("LASTTIME", "PID"), "") << int(fault);
        std::unique_ptr<TipRecord> tip(service.Store()->GetOneShowData(1));
        ASSERT_TRUE(tip) << int(fault);
        EXPECT_EQ(tip->nMessageID, 5u) << int(fault);
        service.Stop();
    }
}

TEST_F(NetQueryCycle, TheHistoryLoadedAtStartHoldsShownTipsBackAndIsSavedAtStop) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    {
        CShowDataList earlier;
        for (uint32_t id : {5u, 6u}) {
            auto* tip = new TipRecord(MakeTip(id, "stored tip"));
            tip->bPicReady = 1;
            earlier.AddOneShowData(tip);
        }
        ASSERT_TRUE(SaveTipFile(TipFile().c_str(), &earlier));
        auto* shown = new DisplayRecord{};
        shown->nMessageID = 5;  // shown in an earlier run, remembered for ever
        earlier.AddDisplayData(shown);
        ASSERT_TRUE(SaveDisplayFile(HistoryFile().c_str(), &earlier));
    }
    LoopbackTipsServer server(TipsFault::kRefuse);
    server.PointSettingsHere();
    CDataService service;
    ASSERT_TRUE(RunUntilReady(service));
    std::unique_ptr<TipRecord> tip(service.Store()->GetOneShowData(1));
    ASSERT_TRUE(tip);
    EXPECT_EQ(tip->nMessageID, 6u) << "tip 5 is in the loaded history";
    EXPECT_EQ(service.Store()->GetOneShowData(1), nullptr);
    service.Stop();

    CShowDataList next;
    EXPECT_EQ(LoadDisplayFile(HistoryFile().c_str(), &next), 2);
    EXPECT_EQ(next.GetDisplayDataCount(), 2);
}

TEST_F(NetQueryCycle, IdentityAndMessageIdHandedOverRightAfterTheStartReachTheQuery) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 1, {}, 30));
    server.PointSettingsHere();
    CDataService service;
    service.Start();
    // What a host does after msg_init, before it returns to its loop.
    service.SetIdentity("late", 4, "type2", 5);
    service.SetMessageID(9);
    ASSERT_TRUE(PumpUntil([&] { return service.Store()->IsReady(); }, 8000));
    const ReceivedQuery q = ReadQuery(server.WaitForQuery(0));
    EXPECT_EQ(q.userName, "late");
    EXPECT_EQ(q.pid, "type2");
    EXPECT_EQ(q.messageId, 9u);
    service.Stop();
}

TEST_F(NetQueryCycle, OnlyAStartThatLoadedTheDataFilesWritesThemBack) {
    struct Case {
        bool fromSettings;  // TESTMESSAGE/ID, or SetMessageID after the start
        bool written;
    };
    for (const Case c : {Case{true, false}, Case{false, true}}) {
        SetUp();
        SaveTipsForNextStart(MakeTip(5, "the user's own tip"));
        const std::string tipsBefore = ReadWholeFile(TipFile());
        LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 2, {MakeTip(7, "test tip")}, 30));
        server.PointSettingsHere();
        if (c.fromSettings) WriteIni("TESTMESSAGE", "ID", "7");
        CDataService service;
        service.Start();
        if (!c.fromSettings) service.SetMessageID(7);
        ASSERT_TRUE(PumpUntil([&] { return service.Store()->IsReady(); }, 8000));
        EXPECT_EQ(ReadQuery(server.WaitForQuery(0)).messageId, 7u);
        while (TipRecord* shown = service.Store()->GetOneShowData(1)) delete shown;
        service.Stop();
        EXPECT_EQ(ReadWholeFile(TipFile()) != tipsBefore, c.written) << c.fromSettings;
        CShowDataList next;
        EXPECT_EQ(LoadDisplayFile(HistoryFile().c_str(), &next), c.written ? 2 : 0) << c.fromSettings;
    }
}

TEST_F(NetQueryCycle, AWorkerLeftInAStoreStepTouchesNothingOfTheNextStart) {
    static HANDLE inside = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    static HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ResetEvent(inside);
    ResetEvent(release);
    SaveTipsForNextStart(MakeTip(5, "stored tip"));
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
    first->Stop();  // walks away after its bound
    first.reset();
    SetWorkerStoreStepHookForTest(nullptr);
    DeleteFileA(TipFile().c_str());

    CDataService second;
    second.Start();
    EXPECT_NE(second.Store(), oldStore) << "the old worker still holds the old store";
    EXPECT_EQ(second.Store()->GetShowDataCount(), 0);
    EXPECT_EQ(second.Store()->IsReady(), 0);
    SetEvent(release);
    ASSERT_TRUE(PumpUntil([&] { return second.Store()->IsReady(); }, 8000));
    EXPECT_EQ(second.Store()->GetShowDataCount(), 0);
    second.Stop();
}

TEST_F(NetQueryCycle, TheStopEndsAWorkerWaitingOnAHangingServerAtOnce) {
    LoopbackTipsServer server(TipsFault::kHang);
    server.PointSettingsHere();
    const int threadsBefore = CountThreads();
    CDataService service;
    service.Start();
    ASSERT_TRUE(PumpUntil([&] { return !server.Queries().empty(); }, 8000));
    const DWORD start = GetTickCount();
    service.Stop();
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_LE(CountThreads(), threadsBefore);
    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "");
}

TEST_F(NetQueryCycle, TheStopCutsASlowPictureAndKeepsTheTipForTheNextStart) {
    LoopbackHttpServer http;
    HttpAnswer slow;
    slow.body = SampleGif();
    slow.trickle = true;
    http.Set("/slow.gif", slow);
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 4, {MakeTip(60, "slow", http.Url("/slow.gif"))}, 30));
    server.PointSettingsHere();
    const int threadsBefore = CountThreads();
    CDataService service;
    service.Start();
    ASSERT_TRUE(PumpUntil([&] { return !http.Requests().empty(); }, 8000));
    const DWORD start = GetTickCount();
    service.Stop();
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() <= threadsBefore; }, 3000)) << "the helper ends at its next block";
    EXPECT_TRUE(PumpUntil([&] { return !PathExists(TipsFolder() + "60.gif"); }, 3000));
    EXPECT_EQ(ReadIni("LASTTIME", "PID"), "4");

    // The saved tip still waits for its picture.
    CShowDataList next;
    LoadTipFile(TipFile().c_str(), &next);
    std::unique_ptr<TipRecord> waiting(next.GetWaitPicData());
    ASSERT_TRUE(waiting);
    EXPECT_EQ(waiting->nMessageID, 60u);
    EXPECT_EQ(FieldText(waiting->szPicture), http.Url("/slow.gif"));
}

// The same cycle through the real library, as a host drives it.
class NetLibrary : public HostFolderTest {};

TEST_F(NetLibrary, TheQueryCarriesWhatTheHostSetRightAfterMsgInit) {
    LoopbackTipsServer server(TipsFault::kAnswer, NewTipsAnswer(0, 12, {}, 30));
    server.PointSettingsHere();
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    dll.set_username("early", 5);  // before msg_init: no effect
    ASSERT_EQ(dll.msg_init(), 1);
    dll.set_username("abc", 3);
    dll.set_clinettype("pid9", 4);
    const std::string query = server.WaitForQuery(0);
    EXPECT_TRUE(query.empty()) << "the worker waits for the host's loop";
    ASSERT_TRUE(PumpUntil([&] { return !server.Queries().empty(); }, 8000));
    const ReceivedQuery q = ReadQuery(server.Queries()[0]);
    EXPECT_EQ(q.userName, "abc");
    EXPECT_EQ(q.pid, "pid9");
    EXPECT_TRUE(PumpUntil([&] { return ReadIni("LASTTIME", "PID") == "12"; }, 8000));
    EXPECT_EQ(dll.msg_exit(), 1);
}

TEST_F(NetLibrary, MsgExitRightAfterMsgInitReachesNoServer) {
    std::atomic<int> connections{0};
    ScriptedServer server([&](SOCKET, const std::atomic<bool>&) { ++connections; });
    WriteIni("TCPSERVER", "HOST", "127.0.0.1");
    WriteIni("TCPSERVER", "PORT", std::to_string(server.Port()));
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    dll.msg_init();
    EXPECT_EQ(dll.msg_exit(), 1);
    Sleep(300);
    EXPECT_EQ(connections.load(), 0);
}

TEST_F(NetLibrary, MsgExitWithAHangingServerIsQuickAndLeavesNoThread) {
    LoopbackTipsServer server(TipsFault::kHang);
    server.PointSettingsHere();
    DllUnderTest dll;
    ASSERT_TRUE(dll.Loaded());
    const int threadsBefore = CountThreads();
    dll.msg_init();
    ASSERT_TRUE(PumpUntil([&] { return !server.Queries().empty(); }, 8000));
    const DWORD start = GetTickCount();
    EXPECT_EQ(dll.msg_exit(), 1);
    EXPECT_LT(GetTickCount() - start, 500u);
    EXPECT_LE(CountThreads(), threadsBefore);
}

}  // namespace
