// Picture downloads over WinInet from a loopback HTTP server. The pass that
// hands each waiting tip on: the query-cycle tests.
#include <gtest/gtest.h>

#include "service/http_download.h"
#include "service/picture_pass.h"
#include "support/host_folder.h"
#include "support/loopback_server.h"

namespace {

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
    EXPECT_TRUE(request.rfind("GET /case HTTP/1.1\r\n", 0) == 0 &&
                request.find("\r\nUser-Agent: InetURL/1.1\r\n") != std::string::npos &&
                request.find("\r\nPragma: no-cache\r\n") != std::string::npos)
        << request;
}

TEST(NetPictureFileName, TheTipsFolderAlwaysFits) {
    char name[260];
    const std::string longest(260 - 16, 'f');
    EXPECT_TRUE(PictureFileName(longest.c_str(), 0x80000000u, name)) << "the tips folder always fits";
    EXPECT_FALSE(PictureFileName((longest + "g").c_str(), 0x80000000u, name));
}

}  // namespace
