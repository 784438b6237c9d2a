// The host's download agent as tiprelay sees it: an in-process COM class
// found through its ProgID, reached through one dual interface. An agent
// that a host ships implements this interface and registers under the
// default ProgID below, or under its own one that message.ini names
// ([AGENT] PROGID).
#pragma once

#include <windows.h>
#include <oaidl.h>

inline constexpr wchar_t kDownloadAgentProgID[] = L"QuillonAgent.Agent";

// Folder handed to the agent with every task.
inline constexpr wchar_t kDownloadAgentFolder[] = L"C:\\QLDOWNLOAD\\";

// The agent interface. Its identifier is ours to choose, since the agent
// belongs to the host: {BF87179D-4E63-4AC6-A08F-C6AF34EC453B}.
inline constexpr IID IID_IDownloadAgent = {
    0xbf87179d, 0x4e63, 0x4ac6, {0xa0, 0x8f, 0xc6, 0xaf, 0x34, 0xec, 0x45, 0x3b}};

// The methods follow the seven of IUnknown and IDispatch in this order;
// the library calls only AddTask and CommitTasks and looks at nothing but
// their result codes. The names of the parameters say what a host's agent
// may make of them.
struct IDownloadAgent : public IDispatch {
    // Not called by the library.
    virtual HRESULT STDMETHODCALLTYPE GetVersion(LONG* version) = 0;
    // Queues one download: url and folder are the ones that matter; the
    // library passes empty strings for referrer, file name and comment,
    // and 1, 1, 10 for the three numbers.
    virtual HRESULT STDMETHODCALLTYPE AddTask(BSTR url, BSTR referrer, BSTR folder,
                                              BSTR fileName, BSTR comment, LONG startNow,
                                              LONG showProgress, LONG retries) = 0;
    // Hands the queued tasks over; the count it reports is not used.
    virtual HRESULT STDMETHODCALLTYPE CommitTasks(LONG* queued) = 0;
};
