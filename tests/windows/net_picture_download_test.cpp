// Picture downloads over WinInet from a loopback HTTP server.
#include <gtest/gtest.h>

#include <thread>

#include "service/http_download.h"
#include "service/picture_pass.h"
#include "service/worker_stop.h"
#include "store/show_data_list.h"
#include "support/dll_under_test.h"
#include "support/host_folder.h"
#include "support/loopback_http_server.h"
#include "support/pump_until.h"
#include "support/tips_answer.h"

namespace {

class NetPictureDownload : public HostFolderTest {
protected:
    void SetUp() override {
        HostFolderTest::SetUp();
        CreateDirectoryA(TipsFolder().c_str(), nullptr);
    }
    std::string Target() const { return TipsFolder() + "47.gif"; }
    LoopbackHttpServer http;
};

TEST_F(NetPictureDownload, OnlyACompleteSuccessfulAnswerBecomesAPicture) {
    struct Case {
        const char* name;
        HttpAnswer answer;
        int expected;
    };
    HttpAnswer redirect;
    redirect.status = 302;
    redirect.body = "moved";
    redirect.extraHeaders = "Location: /ok.gif\r\n";
    HttpAnswer notFound;
    notFound.status = 404;
    notFound.body = "<html>gone</html>";
    HttpAnswer cut;
    cut.body = SampleGif();
    cut.cutOff = true;
    const Case cases[] = {
        {"gif", HttpAnswer{200, SampleGif(), "", false, false}, 1},
        {"jpeg", HttpAnswer{200, SampleJpeg(), "", false, false}, 1},
        {"empty", HttpAnswer{200, "", "", false, false}, 1},
        {"not found", notFound, 0},
        {"redirect", redirect, 0},
        {"cut off", cut, 0},
    };
    http.Set("/ok.gif", HttpAnswer{200, "followed", "", false, false});
    for (const Case& c : cases) {
        http.Set("/case", c.answer);
        const size_t before = http.Requests().size();
        EXPECT_EQ(DownloadPicture(http.Url("/case"), Target().c_str(), nullptr), c.expected) << c.name;
        if (c.expected == 1) {
            EXPECT_EQ(ReadWholeFile(Target()), c.answer.body) << c.name;
        } else {
            EXPECT_FALSE(PathExists(Target())) << c.name << ": a failed download leaves no file";
        }
        EXPECT_EQ(http.Requests().size(), before + 1) << c.name << ": one request, no redirection";
        DeleteFileA(Target().c_str());
    }
}

TEST_F(NetPictureDownload, AsksTheServerItselfWithItsOwnUserAgent) {
    http.Set("/p.gif", HttpAnswer{200, SampleGif(), "", false, false});
    ASSERT_EQ(DownloadPicture(http.Url("/p.gif"), Target().c_str(), nullptr), 1);
    ASSERT_EQ(http.Requests().size(), 1u);
    const std::string request = http.Requests()[0];
    EXPECT_EQ(request.rfind("GET /p.gif HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("\r\nUser-Agent: InetURL/1.1\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("\r\nPragma: no-cache\r\n"), std::string::npos) << request;
}

TEST_F(NetPictureDownload, AnUnreachableServerOrBadAddressFails) {
    for (const std::string& url : {std::string("http://127.0.0.1:1/x.gif"), std::string("not a url"),
                                  std::string()}) {
        EXPECT_EQ(DownloadPicture(url, Target().c_str(), nullptr), 0) << url;
        EXPECT_FALSE(PathExists(Target())) << url;
    }
}

TEST_F(NetPictureDownload, AnOldFileOfTheSameNameIsReplaced) {
    WriteWholeFile(Target(), std::string(20000, 'o'));
    http.Set("/p.gif", HttpAnswer{200, "new", "", false, false});
    ASSERT_EQ(DownloadPicture(http.Url("/p.gif"), Target().c_str(), nullptr), 1);
    EXPECT_EQ(ReadWholeFile(Target()), "new");
}

TEST_F(NetPictureDownload, TheStopCutsASlowDownloadShort) {
    HttpAnswer slow;
    slow.body = SampleGif();
    slow.trickle = true;
    http.Set("/slow.gif", slow);
    const int threadsBefore = CountThreads();
    CWorkerStop stop;
    std::thread stopper([&] {
        Sleep(300);
        stop.Request();
    });
    const DWORD start = GetTickCount();
    EXPECT_EQ(DownloadPicture(http.Url("/slow.gif"), Target().c_str(), &stop), 0);
    const DWORD took = GetTickCount() - start;
    stopper.join();
    EXPECT_LT(took, 2000u) << "the whole body would take 900 s";
    // The helper left behind ends at the next block and removes its file.
    EXPECT_TRUE(PumpUntil([&] { return !PathExists(Target()); }, 3000));
    EXPECT_TRUE(PumpUntil([&] { return CountThreads() <= threadsBefore; }, 3000))
        << CountThreads() << " threads, " << threadsBefore << " before";
}

TEST(NetPictureFileName, IdAsSignedDecimalInTheTipsFolder) {
    char name[260];
    ASSERT_TRUE(PictureFileName("D:\\Host\\tips\\", 47, name));
    EXPECT_STREQ(name, "D:\\Host\\tips\\47.gif");
    ASSERT_TRUE(PictureFileName("D:\\Host\\tips\\", 0xFFFFFFF6u, name));
    EXPECT_STREQ(name, "D:\\Host\\tips\\-10.gif");
    const std::string longest(260 - 16, 'f');
    EXPECT_TRUE(PictureFileName(longest.c_str(), 0x80000000u, name)) << "the tips folder always fits";
    EXPECT_FALSE(PictureFileName((longest + "g").c_str(), 0x80000000u, name));
}

class NetPicturePass : public NetPictureDownload {
protected:
    TipRecord* Waiting(uint32_t id, const std::string& text, const std::string& url) {
        return new TipRecord(MakeTip(id, text, url));
    }
    CShowDataList store;
};

TEST_F(NetPicturePass, EachTipGetsItsPictureOrLosesItAndIsQueuedEitherWay) {
    http.Set("/a.gif", HttpAnswer{200, SampleGif(), "", false, false});
    store.SetPictureFolder(TipsFolder().c_str());
    store.AddWaitPicData(Waiting(0xFFFFFFF6u, "first", http.Url("/a.gif")));
    store.AddWaitPicData(Waiting(12, "second", http.Url("/missing.gif")));
    LineCapture capture;
    EXPECT_EQ(RunPicturePass(&store, TipsFolder().c_str(), nullptr), 1);

    std::vector<std::string> pass;
    for (const std::string& line : capture.Lines()) {
        if (line.rfind("DataService", 0) == 0) pass.push_back(line);
    }
    EXPECT_EQ(pass, (std::vector<std::string>{
                        "DataService picture download begin", "DataService picture download finish",
                        "DataService picture download success", "DataService picture download begin",
                        "DataService picture download finish"}));
    std::unique_ptr<TipRecord> first(store.GetOneShowData(1));
    ASSERT_TRUE(first);
    EXPECT_EQ(FieldText(first->szPicture), TipsFolder() + "-10.gif");
    EXPECT_EQ(first->bPicReady, 1u);
    EXPECT_EQ(ReadWholeFile(TipsFolder() + "-10.gif"), SampleGif());
    std::unique_ptr<TipRecord> second(store.GetOneShowData(1));
    ASSERT_TRUE(second);
    EXPECT_EQ(FieldText(second->szPicture), "");
    EXPECT_EQ(second->bPicReady, 1u);
    EXPECT_FALSE(PathExists(TipsFolder() + "12.gif"));
}

TEST_F(NetPicturePass, AnEmptyQueueLogsNothing) {
    LineCapture capture;
    EXPECT_EQ(RunPicturePass(&store, TipsFolder().c_str(), nullptr), 1);
    EXPECT_TRUE(capture.Lines().empty());
}

TEST_F(NetPicturePass, AfterTheStopTipsKeepTheirAddressForTheNextStart) {
    store.AddWaitPicData(Waiting(3, "later", http.Url("/a.gif")));
    CWorkerStop stop;
    stop.Request();
    LineCapture capture;
    RunPicturePass(&store, TipsFolder().c_str(), &stop);
    EXPECT_FALSE(capture.Contains("DataService picture download begin"));
    EXPECT_TRUE(http.Requests().empty());
    TipRecord saved[2];
    int32_t count = 2;
    store.GetAllShowData(saved, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(saved[0].bPicReady, 0u) << "waits for its picture at the next start";
    EXPECT_EQ(FieldText(saved[0].szPicture), http.Url("/a.gif"));
}

}  // namespace
