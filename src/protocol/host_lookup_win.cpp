#include "protocol/host_lookup_win.h"

#include <cstring>
#include <memory>
#include <string>

#include "platform/network_timeout_win.h"
#include "platform/pinned_thread_win.h"

namespace {

// Shared between the caller and the helper; whoever lets go last frees it.
struct Lookup {
    std::string host;
    in_addr address{};
    bool found = false;
};

void LookUp(Lookup& lookup) {
    // Its own hold on Windows Sockets, for a helper that outlives its caller.
    WSADATA data;
    const bool started = WSAStartup(0x0202, &data) == 0;
    const hostent* entry = gethostbyname(lookup.host.c_str());
    if (entry != nullptr && entry->h_addrtype == AF_INET && entry->h_length == 4 &&
        entry->h_addr_list != nullptr && entry->h_addr_list[0] != nullptr) {
        std::memcpy(&lookup.address, entry->h_addr_list[0], 4);
        lookup.found = true;
    }
    if (started) WSACleanup();
}

bool Signalled(HANDLE event) { return event != nullptr && WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace

int LookUpHost(const char* host, HANDLE abandon, in_addr* address) {
    if (Signalled(abandon)) return -1;
    auto lookup = std::make_shared<Lookup>();
    lookup->host = host;
    const handles::Kernel thread =
        platform::StartPinnedThread("host lookup", [lookup] { LookUp(*lookup); });
    if (!thread) return 0;
    // The abandon event first: when both are signalled, the stop wins.
    HANDLE waits[2] = {abandon, thread.get()};
    const DWORD result = abandon != nullptr ? WaitForMultipleObjects(2, waits, FALSE, kNetworkTimeoutMs)
                                            : WaitForSingleObject(thread.get(), kNetworkTimeoutMs);
    const DWORD finished = abandon != nullptr ? WAIT_OBJECT_0 + 1 : WAIT_OBJECT_0;
    if (result != finished) return -1;
    if (lookup->found) *address = lookup->address;
    return lookup->found ? 1 : 0;
}
