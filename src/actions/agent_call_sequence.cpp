#include "actions/agent_call_sequence.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cctype>
#include <string>

#include "actions/agent_interface.h"
#include "actions/browser.h"
#include "platform/handles.h"
#include "platform/platform.h"

namespace {

// A COM string.
using ComString = handles::Owned<handles::NullIsNone<BSTR, &SysFreeString>>;

// Text in the host's ANSI code page converted straight into a COM string;
// null when nothing converts.
ComString FromAnsi(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return ComString();
    ComString converted(SysAllocStringLen(nullptr, static_cast<UINT>(length - 1)));  // and room for the NUL
    if (converted && MultiByteToWideChar(CP_ACP, 0, text, -1, converted.get(), length) == 0) converted.reset();
    return converted;
}

// Set at each start from message.ini, read at each click: both on the
// host's thread.
std::wstring g_agentProgId = kDownloadAgentProgID;

bool IsProgId(const std::string& name) {
    if (name.empty() || name.size() > 39 || std::isdigit(static_cast<unsigned char>(name[0]))) return false;
    for (const char c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.') return false;
    return true;
}

}  // namespace

bool SetDownloadAgentProgID(const char* progId) {
    const std::string name = progId != nullptr ? progId : "";
    const bool taken = IsProgId(name);
    g_agentProgId = taken ? std::wstring(name.begin(), name.end()) : kDownloadAgentProgID;
    if (!taken && !name.empty()) {
        platform::DebugLine("Download agent ProgID refused:");
        platform::DebugLine(name.c_str());
    }
    platform::DebugLine("Download agent ProgID:");
    platform::DebugLine(std::string(g_agentProgId.begin(), g_agentProgId.end()).c_str());
    return taken || name.empty();
}

void DownloadThroughAgent(const char* url) {
    // An address that does not convert leaves nothing to hand over.
    const ComString address = FromAnsi(url);
    if (!address) return;
    CLSID agentClass;
    if (FAILED(CLSIDFromProgID(g_agentProgId.c_str(), &agentClass))) {
        OpenInBrowser(url);
        return;
    }
    handles::ComPtr<IDownloadAgent> agent;
    if (FAILED(CoCreateInstance(agentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDownloadAgent, agent.put_void())) ||
        !agent) {
        OpenInBrowser(url);
        return;
    }

    const ComString referrer(SysAllocString(L""));
    const ComString folder(SysAllocString(kDownloadAgentFolder));
    const ComString fileName(SysAllocString(L""));
    const ComString comment(SysAllocString(L""));
    // Without memory for the strings there is no task worth handing over.
    if (!referrer || !folder || !fileName || !comment) return;
    if (FAILED(agent->AddTask(address.get(), referrer.get(), folder.get(), fileName.get(), comment.get(), 1, 1, 10)))
        return;
    LONG queued = 0;
    agent->CommitTasks(&queued);
}
