#include "protocol/host_lookup_win.h"

#include <atomic>
#include <cstring>
#include <string>

#include "protocol/network_timeout_win.h"
#include "protocol/pinned_thread_win.h"

namespace {

// Shared between the caller and the helper; whoever lets go last frees it.
struct Lookup {
    std::string host;
    in_addr address{};
    bool found = false;
    std::atomic<int> holders{2};
};

void LetGo(Lookup* lookup) {
    if (lookup->holders.fetch_sub(1) == 1) delete lookup;
}

void LookUp(void* argument) {
    auto* lookup = static_cast<Lookup*>(argument);
    // Its own hold on Windows Sockets, for a helper that outlives its caller.
    WSADATA data;
    const bool started = WSAStartup(0x0202, &data) == 0;
    const hostent* entry = gethostbyname(lookup->host.c_str());
    if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_length == 4 &&
        entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
        std::memcpy(&lookup->address, entry->h_addr_list[0], 4);
        lookup->found = true;
    }
    if (started) WSACleanup();
    LetGo(lookup);
}

}  // namespace

int LookUpHost(const char* host, HANDLE abandon, in_addr* address) {
    auto* lookup = new Lookup;
    lookup->host = host;
    HANDLE thread = StartPinnedThread(LookUp, lookup);
    if (thread == nullptr) {
        delete lookup;
        return 0;
    }
    HANDLE waits[2] = {thread, abandon};
    const DWORD count = abandon != nullptr ? 2 : 1;
    const DWORD result = WaitForMultipleObjects(count, waits, FALSE, kNetworkTimeoutMs);
    CloseHandle(thread);
    int outcome = -1;
    if (result == WAIT_OBJECT_0) {
        outcome = lookup->found ? 1 : 0;
        if (lookup->found) *address = lookup->address;
    }
    LetGo(lookup);
    return outcome;
}
