// The tip service's paths, settings and identity, in-process.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "service/data_service.h"
#include "service/host_paths.h"
#include "support/host_folder.h"

namespace {

class ServiceSettingsTest : public HostFolderTest {};

// Each start reads message.ini afresh, once; the paths the service works
// on are those of every other service test. Numbers are read as the system
// reads them: a word is 0, a number too long wraps.
TEST_F(ServiceSettingsTest, EachStartReadsEveryKeyOnce) {
    const std::string host = kDefaultServerHost, longHost(150, 'h');
    // "SECTION/KEY" and value; then "port host last-time interval message-ID", " owns" when it owns the data files
    const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> cases[] = {
        {{}, "5200 " + host + " 0 30 0 owns"},
        {{{"TCPSERVER/PORT", "6100"},
          {"TCPSERVER/HOST", longHost},
          {"LASTTIME/PID", "-321"},
          {"NEXTPANEL/INTERVAL", "0"}},
         "6100 " + longHost.substr(0, 99) + " -321 0 0 owns"},  // the panel, not the service, reads interval 0 as 30
        {{{"NEXTPANEL/INTERVAL", "45"}, {"TESTMESSAGE/ID", "7"}}, "5200 " + host + " 0 45 7"},
        {{{"TESTMESSAGE/ID", "0"}, {"TCPSERVER/PORT", "soon"}}, "0 " + host + " 0 30 0 owns"},
        {{{"TESTMESSAGE/ID", "-3"}, {"TCPSERVER/PORT", "99999999999"}}, "1215752191 " + host + " 0 30 0 owns"},
    };
    for (const auto& [ini, expected] : cases) {
        SetUp();
        for (const auto& [key, value] : ini)
            WriteIni(key.substr(0, key.find('/')), key.substr(key.find('/') + 1), value);
        CDataService service;
        ASSERT_EQ(service.Start(), 1);
        WriteIni("NEXTPANEL", "INTERVAL", "12");
        const ServiceSettings& s = service.Settings();
        EXPECT_EQ(std::to_string(s.serverPort) + " " + s.serverHost + " " + std::to_string(s.lastTime) + " " +
                      std::to_string(service.GetPanelInterval()) + " " +
                      std::to_string(service.CopyIdentity().messageId) + (service.OwnsDataFiles() ? " owns" : ""),
                  expected);
        service.Stop();
    }
}

TEST(ServiceIdentity, EachValueTakesExactlyItsCountAndLogsUpToANul) {
    CDataService service;
    LineCapture capture;
    for (const auto& [name, nameCount, pid, pidCount] : std::vector<std::tuple<const char*, int, const char*, int>>{
             {"abc", 2, nullptr, 0}, {nullptr, 0, "pid9", 4}, {"zz", 0, "yy", -1}, {nullptr, 3, nullptr, 3}}) {
        EXPECT_EQ(service.SetIdentity(name, nameCount, pid, pidCount), 1);
    }
    EXPECT_EQ(service.CopyIdentity().userName + "/" + service.CopyIdentity().pid, "ab/pid9");
    service.SetIdentity("a\0b", 3, nullptr, 0);
    EXPECT_EQ(service.CopyIdentity().userName, std::string("a\0b", 3));
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"Set UserName:", "ab", "Set PID:", "pid9", "Set UserName:", "a"}));
}

TEST(HostPathsTest, RefusesWhatWouldNotFitOrHasNoFolder) {
    HostPaths paths;
    EXPECT_FALSE(BuildHostPaths("tiphost.exe", &paths));
    EXPECT_EQ(paths.tipsFolder[0], '\0');
    // The longest path written is the history's temporary file:
    // <folder>\tips\messdisplay.dat.01234567.tmp, 34 bytes more.
    const std::string fits = "C:\\" + std::string(kPathBufferSize - 1 - 34 - 3, 'f');
    EXPECT_TRUE(BuildHostPaths((fits + "\\host.exe").c_str(), &paths));
    EXPECT_EQ(std::string(paths.historyFile), fits + "\\tips\\messdisplay.dat");
    LineCapture capture;
    EXPECT_FALSE(BuildHostPaths((fits + "g\\host.exe").c_str(), &paths));
    EXPECT_EQ(paths.historyFile[0], '\0');
    EXPECT_EQ(capture.Lines().at(0), "DataService host folder too long for its files:");
}

}  // namespace
