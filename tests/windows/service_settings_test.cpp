// The tip service's paths, settings and identity, in-process.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/data_folder.h"
#include "service/data_service.h"
#include "service/host_paths.h"
#include "support/host_folder.h"

namespace {

class ServiceSettingsTest : public HostFolderTest {};

// What a started service read; the defaults are those of no message.ini.
struct ReadSettings {
    int32_t port = 5200;
    std::string host = kDefaultServerHost;
    int32_t lastTime = 0;
    int32_t interval = 30;
    uint32_t messageId = 0;
    bool owns = true;  // the data files: none when a message ID is set
    std::string agent = "";
    NAMED_FIELDS(ReadSettings, port, host, lastTime, interval, messageId, owns, agent)
};

// Each start reads message.ini afresh, once; the paths the service works
// on are those of every other service test. Numbers are read as the system
// reads them: a word is 0, a number too long wraps.
TEST_F(ServiceSettingsTest, EachStartReadsEveryKeyOnce) {
    using Ini = std::vector<std::pair<std::string, std::string>>;  // "SECTION/KEY", value
    const std::string longHost(150, 'h');
    const Ini everyKey = {{"TCPSERVER/PORT", "6100"},
                          {"TCPSERVER/HOST", longHost},
                          {"LASTTIME/PID", "-321"},
                          {"NEXTPANEL/INTERVAL", "0"},
                          {"AGENT/PROGID", "TipHost.Agent"}};
    const struct {
        Ini ini;
        ReadSettings read;
    } cases[] = {
        {.ini = {}, .read = {}},
        // The panel, not the service, reads interval 0 as 30.
        {.ini = everyKey,
         .read =
             {.port = 6100, .host = longHost.substr(0, 99), .lastTime = -321, .interval = 0, .agent = "TipHost.Agent"}},
        {{{"NEXTPANEL/INTERVAL", "45"}, {"TESTMESSAGE/ID", "7"}}, {.interval = 45, .messageId = 7, .owns = false}},
        {.ini = {{"TESTMESSAGE/ID", "0"}, {"TCPSERVER/PORT", "soon"}}, .read = {.port = 0}},
        {.ini = {{"TESTMESSAGE/ID", "-3"}, {"TCPSERVER/PORT", "99999999999"}}, .read = {.port = 1215752191}},
    };
    for (const auto& c : cases) {
        ResetHostFolder();
        for (const auto& [key, value] : c.ini)
            WriteIni(key.substr(0, key.find('/')), key.substr(key.find('/') + 1), value);
        CDataService service;
        ASSERT_EQ(service.Start(), 1);
        WriteIni("NEXTPANEL", "INTERVAL", "12");
        const ServiceSettings& s = service.Settings();
        const ReadSettings read{s.serverPort,
                                s.serverHost,
                                s.lastTime,
                                service.GetPanelInterval(),
                                service.CopyIdentity().messageId,
                                service.OwnsDataFiles(),
                                s.agentProgId};
        EXPECT_EQ(read, c.read);
        service.Stop();
    }
}

// A host folder that takes no files (here its tips folder cannot be made) moves the data and the
// written-back values to the user's folder, once logged; message.ini can name a folder instead.
TEST_F(ServiceSettingsTest, DataGoWhereTheyCanBeWritten) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string perUser = PerUserFolder(exe), named = ExeFolder() + "\\named data";
    ASSERT_FALSE(perUser.empty());
    for (const std::string& folder : {perUser, named}) {
        ResetHostFolder();
        RemoveTree(folder);
        if (folder == perUser) WriteWholeFile(TipsFolder().substr(0, TipsFolder().size() - 1), "a file, not a folder");
        if (folder == named) WriteIni("DATA", "FOLDER", "%TIPRELAY_TEST_FOLDER%\\named data\\");
        SetEnvironmentVariableA("TIPRELAY_TEST_FOLDER", ExeFolder().c_str());
        WriteIni("TCPSERVER", "HOST", "beside.example");
        WriteIni("LASTTIME", "PID", "5");  // the data folder's 9 wins
        CreateDirectoryA(folder.c_str(), nullptr);
        WritePrivateProfileStringA("LASTTIME", "PID", "9", (folder + "\\message.ini").c_str());
        LineCapture lines;
        CDataService service;
        ASSERT_EQ(service.Start(), 1);
        service.Stop();
        EXPECT_EQ(service.Paths().tipsFolder, folder + "\\tips\\");
        EXPECT_EQ(service.Paths().settingsFile, folder + "\\message.ini") << "the server's values go there too";
        EXPECT_EQ(service.Settings().serverHost + " " + std::to_string(service.Settings().lastTime),
                  "beside.example 9");
        EXPECT_EQ(lines.Contains("DataService host folder cannot be written:") && lines.Contains(ExeFolder()) &&
                      lines.Contains("DataService data kept in:") && lines.Contains(folder),
                  folder == perUser);
        RemoveTree(folder);
    }
    DeleteFileA(TipsFolder().substr(0, TipsFolder().size() - 1).c_str());
}

TEST(ServiceIdentity, EachValueTakesExactlyItsCountAndLogsUpToANul) {
    CDataService service;
    LineCapture capture;
    EXPECT_EQ(service.SetIdentity("abc", 2, nullptr, 0), 1);   // the name's first two bytes
    EXPECT_EQ(service.SetIdentity(nullptr, 0, "pid9", 4), 1);  // a null value changes nothing
    EXPECT_EQ(service.SetIdentity("zz", 0, "yy", -1), 1);      // nor does a count below 1
    EXPECT_EQ(service.SetIdentity(nullptr, 3, nullptr, 3), 1);
    EXPECT_EQ(service.CopyIdentity().userName, "ab");
    EXPECT_EQ(service.CopyIdentity().pid, "pid9");
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
