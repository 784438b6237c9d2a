// The tip service's paths, settings and identity, in-process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/data_service.h"
#include "service/host_paths.h"
#include "support/host_folder.h"

namespace {

class ServiceSettingsTest : public HostFolderTest {};

TEST_F(ServiceSettingsTest, MissingSettingsFileGivesTheDefaults) {
    CDataService service;
    ASSERT_EQ(service.Start(), 1);
    const ServiceSettings& s = service.Settings();
    EXPECT_EQ(s.serverPort, 5200);
    EXPECT_EQ(s.serverHost, kDefaultServerHost);
    EXPECT_EQ(s.lastTime, 0);
    EXPECT_EQ(service.GetPanelInterval(), 30);
    EXPECT_EQ(service.CopyIdentity().messageId, 0u);
    EXPECT_TRUE(service.OwnsDataFiles());
    EXPECT_EQ(std::string(service.Paths().tipsFolder), TipsFolder());
    EXPECT_EQ(std::string(service.Paths().settingsFile), HostFile("message.ini"));
    EXPECT_EQ(std::string(service.Paths().tipFile), TipsFolder() + "message.dat");
    EXPECT_EQ(std::string(service.Paths().historyFile), TipsFolder() + "messdisplay.dat");
    EXPECT_TRUE(PathExists(TipsFolder()));
    service.Stop();
}

TEST_F(ServiceSettingsTest, ReadsEveryKeyAndCutsAnOverlongHost) {
    const std::string longHost(150, 'h');
    WriteIni("TCPSERVER", "PORT", "6100");
    WriteIni("TCPSERVER", "HOST", longHost);
    WriteIni("LASTTIME", "PID", "-321");
    WriteIni("NEXTPANEL", "INTERVAL", "0");
    CDataService service;
    ASSERT_EQ(service.Start(), 1);
    EXPECT_EQ(service.Settings().serverPort, 6100);
    EXPECT_EQ(service.Settings().serverHost, longHost.substr(0, 99));
    EXPECT_EQ(service.Settings().lastTime, -321);
    EXPECT_EQ(service.GetPanelInterval(), 0) << "the panel, not the service, reads 0 as 30";
    service.Stop();
}

TEST_F(ServiceSettingsTest, TestMessageIdSetsTheMessageIdOnlyWhenPositive) {
    struct Case {
        const char* value;
        uint32_t expected;
    };
    for (const Case& c : {Case{"7", 7u}, Case{"0", 0u}, Case{"-3", 0u}}) {
        WriteIni("TESTMESSAGE", "ID", c.value);
        CDataService service;
        ASSERT_EQ(service.Start(), 1);
        EXPECT_EQ(service.CopyIdentity().messageId, c.expected) << c.value;
        EXPECT_EQ(service.OwnsDataFiles(), c.expected == 0) << c.value;
        service.Stop();
    }
}

TEST_F(ServiceSettingsTest, StartAgainReadsTheSettingsAfresh) {
    WriteIni("NEXTPANEL", "INTERVAL", "45");
    {
        CDataService service;
        service.Start();
        EXPECT_EQ(service.GetPanelInterval(), 45);
        WriteIni("NEXTPANEL", "INTERVAL", "12");
        EXPECT_EQ(service.GetPanelInterval(), 45) << "read once per start";
        service.Stop();
    }
    CDataService again;
    again.Start();
    EXPECT_EQ(again.GetPanelInterval(), 12);
    again.Stop();
}

TEST(ServiceIdentity, EachValueLogsTwoLinesAndTakesExactlyItsCount) {
    CDataService service;
    LineCapture capture;
    EXPECT_EQ(service.SetIdentity("abc", 2, nullptr, 0), 1);
    EXPECT_EQ(service.SetIdentity(nullptr, 0, "pid9", 4), 1);
    EXPECT_EQ(service.SetIdentity("zz", 0, "yy", -1), 1);
    EXPECT_EQ(service.SetIdentity(nullptr, 3, nullptr, 3), 1);
    const QueryIdentity identity = service.CopyIdentity();
    EXPECT_EQ(identity.userName, "ab");
    EXPECT_EQ(identity.pid, "pid9");
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"Set UserName:", "ab", "Set PID:", "pid9"}));
}

TEST(ServiceIdentity, ANameWithANulIsKeptWholeAndLoggedUpToTheNul) {
    CDataService service;
    LineCapture capture;
    service.SetIdentity("a\0b", 3, nullptr, 0);
    EXPECT_EQ(service.CopyIdentity().userName, std::string("a\0b", 3));
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"Set UserName:", "a"}));
}

TEST(HostPathsTest, RefusesWhatWouldNotFitOrHasNoFolder) {
    HostPaths paths;
    EXPECT_FALSE(BuildHostPaths("tiphost.exe", &paths));
    EXPECT_EQ(paths.tipsFolder[0], '\0');

    // The longest path is <folder>\tips\messdisplay.dat: 21 bytes more.
    const std::string tail = "\\tips\\messdisplay.dat";
    const std::string fits = "C:\\" + std::string(kPathBufferSize - 1 - tail.size() - 3, 'f');
    EXPECT_TRUE(BuildHostPaths((fits + "\\host.exe").c_str(), &paths));
    EXPECT_EQ(std::string(paths.historyFile), fits + tail);

    const std::string tooLong = fits + "g";
    EXPECT_FALSE(BuildHostPaths((tooLong + "\\host.exe").c_str(), &paths));
    EXPECT_EQ(paths.historyFile[0], '\0');
}

}  // namespace
