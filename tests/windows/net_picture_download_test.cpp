// Picture downloads over WinInet from a loopback HTTP server, and the
// picture pass that hands each waiting tip on.
#include <gtest/gtest.h>

#include "service/http_download.h"
#include "service/picture_pass.h"
#include "store/show_data_list.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"
#include "support/tips_answer.h"

namespace {

class NetPictureDownload : public HostFolderTest {
protected:
    void SetUp() override {
        HostFolderTest::SetUp();
        CreateDirectoryA(TipsFolder().c_str(), nullptr);
    }
    LoopbackHttpServer http;
    CShowDataList store;
};

TEST_F(NetPictureDownload, OnlyACompleteSuccessfulAnswerReplacesThePicture) {
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
        {"cut off", {200, SampleGif(), "", true}, "", 0},
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
    EXPECT_TRUE(request.rfind("GET /case HTTP/1.1\r\n", 0) == 0 && request.find("\r\nUser-Agent: InetURL/1.1\r\n") != std::string::npos &&
                request.find("\r\nPragma: no-cache\r\n") != std::string::npos)
        << request;
}

TEST(NetPictureFileName, TheTipsFolderAlwaysFits) {
    char name[260];
    const std::string longest(260 - 16, 'f');
    EXPECT_TRUE(PictureFileName(longest.c_str(), 0x80000000u, name)) << "the tips folder always fits";
    EXPECT_FALSE(PictureFileName((longest + "g").c_str(), 0x80000000u, name));
}

TEST_F(NetPictureDownload, ThePassGivesEachTipItsPictureOrNoneAndQueuesItEitherWay) {
    http.Set("/a.gif", HttpAnswer{200, SampleGif()});
    store.SetPictureFolder(TipsFolder().c_str());
    LineCapture capture;
    store.AddWaitPicData(new TipRecord(MakeTip(0xFFFFFFF6u, "first", http.Url("/a.gif"))));
    store.AddWaitPicData(new TipRecord(MakeTip(12, "second", http.Url("/missing.gif"))));
    EXPECT_EQ(RunPicturePass(&store, TipsFolder().c_str(), nullptr), 1);
    std::vector<std::string> pass;
    for (const std::string& line : capture.Lines()) {
        if (line.rfind("DataService", 0) == 0) pass.push_back(line);
    }
    EXPECT_EQ(pass, (std::vector<std::string>{
                                   "DataService picture download begin", "DataService picture download finish",
                                   "DataService picture download success", "DataService picture download begin",
                                   "DataService picture download finish"}));
    for (const std::string& picture : {TipsFolder() + "-10.gif", std::string()}) {
        std::unique_ptr<TipRecord> tip(store.GetOneShowData(1));
        ASSERT_TRUE(tip);
        EXPECT_EQ(FieldText(tip->szPicture), picture);
        EXPECT_EQ(tip->bPicReady, 1u);
    }
    EXPECT_EQ(ReadWholeFile(TipsFolder() + "-10.gif"), SampleGif());
    EXPECT_FALSE(PathExists(TipsFolder() + "12.gif"));

}

}  // namespace
