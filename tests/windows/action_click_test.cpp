// Clicks on a raised panel's parts, down to the lines the stand-in agent
// and browser log.
#include <windows.h>
#include <objbase.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <sstream>

#include "actions/agent_call_sequence.h"
#include "actions/agent_interface.h"
#include "panels/panel_action.h"
#include "platform/handles.h"
#include "support/panel_fixture.h"

namespace {

using Lines = std::vector<std::string>;
const std::string kPage = "http://tips.test/page?id=7&x=1", kFile = "http://tips.test/files/setup.zip";

// The agent's lines, then the browsers'. A browser the shell started
// exists once the call has returned; when none runs any more, each has
// written its line.
Lines Calls() {
    PumpUntil(
        [] {
            const handles::Kernel snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
            PROCESSENTRY32 entry{sizeof entry};
            for (BOOL more = Process32First(snapshot.get(), &entry); more; more = Process32Next(snapshot.get(), &entry))
                if (lstrcmpiA(entry.szExeFile, "iexplore.exe") == 0) return false;
            return true;
        },
        10000);
    Lines lines;
    std::istringstream in(ReadWholeFile(HostFile("calls.log")));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string TaskLine(const std::string& url) {
    return "task\t\"" + url + "\"\t\"\"\t\"C:\\QLDOWNLOAD\\\"\t\"\"\t\"\"\t1\t1\t10";
}
// What a download through the agent logs when every step succeeds.
Lines AgentRun(const std::string& url) { return {"create", TaskLine(url), "commit", "release"}; }

// The agent registered and failing `step` ("create", "task", "commit"),
// or "none": not registered; an empty log.
void StartRow(const std::string& step) {
    const handles::Module agent(LoadLibraryA(HostFile("test_agent.dll").c_str()));
    const auto entry = reinterpret_cast<HRESULT(__stdcall*)()>(GetProcAddress(agent.get(), "DllRegisterServer"));
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(SUCCEEDED(entry()));
    // The host's own name for the agent (message.ini's [AGENT] PROGID): the default name goes.
    wchar_t agentClass[40] = {};
    DWORD size = sizeof agentClass;
    RegGetValueW(HKEY_CLASSES_ROOT, (std::wstring(kDownloadAgentProgID) + L"\\CLSID").c_str(), nullptr, RRF_RT_REG_SZ,
                 nullptr, agentClass, &size);
    if (step == "own ProgID")
        RegSetKeyValueW(HKEY_CLASSES_ROOT, L"TipHost.Agent\\CLSID", nullptr, REG_SZ, agentClass, size);
    if (step == "none" || step == "own ProgID") RegDeleteTreeW(HKEY_CLASSES_ROOT, kDownloadAgentProgID);
    SetDownloadAgentProgID(step == "own ProgID" ? "TipHost.Agent" : step == "bad ProgID" ? "Tip Host!" : "");
    SetEnvironmentVariableA("TIPRELAY_AGENT_FAIL", step.c_str());
    DeleteFileA(HostFile("calls.log").c_str());
}

// The SDK's sample agent, registered as its guide says, gets the
// download that the library hands to the ProgID message.ini names.
TEST(SampleAgent, RegistersAndWritesEachCommittedTask) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string list = std::string(temp) + "sample_agent_downloads.txt";
    DeleteFileA(list.c_str());
    const handles::Module agent(LoadLibraryA(HostFile("sample_agent.dll").c_str()));
    ASSERT_TRUE(agent);
    using Entry = HRESULT(__stdcall*)();
    ASSERT_EQ(reinterpret_cast<Entry>(GetProcAddress(agent.get(), "DllRegisterServer"))(), S_OK);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    ASSERT_TRUE(SetDownloadAgentProgID("SampleHost.Agent"));
    DownloadThroughAgent(kFile.c_str());
    SetDownloadAgentProgID("");
    CoUninitialize();
    EXPECT_EQ(reinterpret_cast<Entry>(GetProcAddress(agent.get(), "DllUnregisterServer"))(), S_OK);
    // UTF-8 with a byte order mark, one task a text line: address, tab, folder.
    EXPECT_EQ(ReadWholeFile(list), "\xEF\xBB\xBF" + kFile + "\tC:\\QLDOWNLOAD\\\r\n");
    DeleteFileA(list.c_str());
}

using ActionClick = PanelTest;

// The panel's state after a click.
enum After { kShown, kLeaving, kClosed };
void PrintTo(After a, std::ostream* os) { *os << (a == kShown ? "shown" : a == kLeaving ? "leaving" : "closed"); }

TEST_F(ActionClick, EachPartOfATipDoesWhatItsLinkOrActionSays) {
    // The test browser over the system folder's iexplore.exe, which the shell
    // starts, and Wine told to load that file rather than its built-in
    // stand-in, which never ends.
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string source = HostFile("test_browser.exe"), target = std::string(system) + "\\iexplore.exe";
    ASSERT_TRUE(ReadWholeFile(target) == ReadWholeFile(source) || CopyFileA(source.c_str(), target.c_str(), FALSE));
    ASSERT_EQ(RegSetKeyValueA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", "iexplore.exe", REG_SZ, "native", 7),
              ERROR_SUCCESS);
    for (const char* log : {"TIPRELAY_BROWSER_LOG", "TIPRELAY_AGENT_LOG"})
        SetEnvironmentVariableA(log, HostFile("calls.log").c_str());
    const POINT picture{50, 90}, text{170, 60}, button{183, 148}, close{243, 11};
    const std::string download = "QUILLONBUTTON:DOWNLOAD:" + kFile,
                      longUrl = "http://tips.test/" + std::string(1006, 'a');
    const std::string cafeAnsi = "http://tips.test/caf\xe9.zip", cafeUtf8 = "http://tips.test/caf\xc3\xa9.zip";
    // agent: as StartRow takes it, or "no COM": the host never started COM, so the library
    // cannot reach the agent; after: the panel's state then.
    struct Case {
        const char* name;
        POINT at;
        std::string link, action, url;
        const char* agent;
        After after;
        Lines calls;
        std::string text = "Some tip text";  // none: the picture's cell widens under the buttons
    };
    const Case cases[] = {
        {"plain link on the picture", picture, kPage, "", "", "", kLeaving, {kPage}},
        {"plain link on the text", text, kPage, "", "", "", kLeaving, {kPage}},
        {"empty link", picture, "", "", "", "", kLeaving, {""}},
        {"prefix in other case", text, "quillonbutton:DOWNLOAD:x", "", "", "", kLeaving, {"quillonbutton:DOWNLOAD:x"}},
        {"download link on the text", text, download, "", "", "", kLeaving, AgentRun(kFile)},
        {"download link on the picture", picture, download, "", "", "none", kLeaving, {kFile}},
        {"download link without an address", text, "QUILLONBUTTON:DOWNLOAD:", "", "", "", kShown, {}},
        {"another library command", picture, "QUILLONBUTTON:CLOSE", "", "", "", kShown, {}},
        {"close zone", close, kPage, "OPENURL", kPage, "", kClosed, {}},
        {"agent refuses creation", button, kPage, "DOWNLOAD", kFile, "create", kLeaving, {"refuse", kFile}},
        {"task fails", button, kPage, "DOWNLOAD", kFile, "task", kLeaving, {"create", TaskLine(kFile), "release"}},
        {"agent commit fails", button, kPage, "DOWNLOAD", kFile, "commit", kLeaving, AgentRun(kFile)},
        {"keyword in other case", button, kPage, "OpenURL", kPage, "", kLeaving, {}},
        {"download keyword in other case", button, kPage, "download", kFile, "", kLeaving, {}},
        {"a caption without a keyword is no button", button, kPage, "", kPage, "", kShown, {}},
        {"no address", button, kPage, "OPENURL", "", "", kLeaving, {}},
        {"address like a dash switch", button, kPage, "OPENURL", "-k http://x/", "", kLeaving, {}},
        {"address like a slash switch", button, kPage, "OPENURL", "/kiosk", "", kLeaving, {}},
        {"a button over a wide picture", button, kPage, "OPENURL", kFile, "", kLeaving, {kFile}, ""},
        {"blank, quote, tab", button, kPage, "OPENURL", "http://t/a b\"c\td", "", kLeaving, {"http://t/a%20b%22c%09d"}},
        {"no COM for the agent", button, kPage, "DOWNLOAD", kFile, "no COM", kLeaving, {kFile}},
        {"an address in the ANSI code page", button, kPage, "DOWNLOAD", cafeAnsi, "", kLeaving, AgentRun(cafeUtf8)},
        {"a full-length address", button, kPage, "DOWNLOAD", longUrl, "", kLeaving, AgentRun(longUrl)},
        {"the host's own agent ProgID", button, kPage, "DOWNLOAD", kFile, "own ProgID", kLeaving, AgentRun(kFile)},
        {"a ProgID that is none keeps the default", button, kPage, "DOWNLOAD", kFile, "bad ProgID", kLeaving,
         AgentRun(kFile)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StartRow(c.agent);
        const bool com =
            c.agent != std::string("no COM") && SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
        ASSERT_EQ(
            Show(panel_, TipContent{1, "", "C:\\no\\such\\picture.gif", c.text, c.link, {"Get"}, {c.action}, {c.url}}),
            1);
        RaisePanel(panel_);
        const RECT shown = WindowRect(panel_.Window());
        EXPECT_EQ(std::pair(shown.right - shown.left, shown.bottom - shown.top), std::pair(260L, 160L));
        panel_.Text().Spare().SetAction("OPENURL", "http://stale/");
        panel_.Picture().Spare().SetAction("OPENURL", "http://stale/");
        for (UINT message : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP})
            SendMessageA(panel_.Window(), message, 0, MAKELPARAM(c.at.x, c.at.y));
        PumpMessages(30);
        if (c.after == kLeaving) SendMessageA(panel_.Window(), WM_MOUSEHOVER, 0, 0);  // sent away, it stays away
        const After after = !IsWindowVisible(panel_.Window()) ? kClosed
                            : panel_.State() == PANEL_LEAVING ? kLeaving
                                                              : kShown;
        EXPECT_EQ(after, c.after);
        EXPECT_EQ(Calls(), c.calls);
        SendMessageA(panel_.Window(), WM_MOUSELEAVE, 0, 0);
        if (com) CoUninitialize();
        if (c.after != kClosed) continue;
        // The close leaves the state as it was, and the next tip rises from
        // below again; another program may send the action with any lParam.
        SendMessageA(panel_.Window(), WM_PANEL_ACTION, kPanelActionRun, 0x12345678);
        EXPECT_EQ(panel_.State(), PANEL_SHOWN);
        ASSERT_EQ(Show(panel_, TipContent{1, "", "", "Next"}), 1);
        EXPECT_EQ(RaisePanel(panel_), 11);
    }
    StartRow("");
}

}  // namespace
