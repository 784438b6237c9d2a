#include "actions/agent_call_sequence.h"

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include "actions/agent_interface.h"
#include "actions/browser.h"

namespace {

// Text in the host's ANSI code page, to be read into a COM string.
struct Ansi {
    const char* text;
};

// Owns one COM string.
class ComString {
public:
    explicit ComString(const wchar_t* text) : text_(SysAllocString(text)) {}
    // Converted straight into the COM string; null when nothing converts.
    explicit ComString(Ansi ansi) : text_(nullptr) {
        const int length = MultiByteToWideChar(CP_ACP, 0, ansi.text, -1, nullptr, 0);
        if (length <= 1) return;
        text_ = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));  // and room for the NUL
        if (text_ != nullptr && MultiByteToWideChar(CP_ACP, 0, ansi.text, -1, text_, length) == 0) {
            SysFreeString(text_);
            text_ = nullptr;
        }
    }
    ~ComString() { SysFreeString(text_); }
    ComString(const ComString&) = delete;
    ComString& operator=(const ComString&) = delete;
    BSTR get() const { return text_; }

private:
    BSTR text_;
};

// Owns one reference to the agent.
class AgentRef {
public:
    AgentRef() = default;
    ~AgentRef() {
        if (agent_ != nullptr) agent_->Release();
    }
    AgentRef(const AgentRef&) = delete;
    AgentRef& operator=(const AgentRef&) = delete;
    IDownloadAgent* get() const { return agent_; }
    void** out() { return reinterpret_cast<void**>(&agent_); }

private:
    IDownloadAgent* agent_ = nullptr;
};

}  // namespace

void DownloadThroughAgent(const char* url) {
    // An address that does not convert leaves nothing to hand over.
    const ComString address(Ansi{url});
    if (address.get() == nullptr) return;
    CLSID agentClass;
    if (FAILED(CLSIDFromProgID(kDownloadAgentProgID, &agentClass))) {
        OpenInBrowser(url);
        return;
    }
    AgentRef agent;
    if (FAILED(CoCreateInstance(agentClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDownloadAgent,
                                agent.out())) ||
        agent.get() == nullptr) {
        OpenInBrowser(url);
        return;
    }

    const ComString referrer(L"");
    const ComString folder(kDownloadAgentFolder);
    const ComString fileName(L"");
    const ComString comment(L"");
    // Without memory for the strings there is no task worth handing over.
    if (address.get() == nullptr || referrer.get() == nullptr || folder.get() == nullptr ||
        fileName.get() == nullptr || comment.get() == nullptr) {
        return;
    }
    if (FAILED(agent.get()->AddTask(address.get(), referrer.get(), folder.get(), fileName.get(),
                                    comment.get(), 1, 1, 10))) {
        return;
    }
    LONG queued = 0;
    agent.get()->CommitTasks(&queued);
}
