#include "actions/browser.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "platform/platform.h"

namespace {

bool NeedsEncoding(unsigned char byte) {
    return byte < 0x20 || byte == 0x7f || byte == ' ' || byte == '"';
}

std::string BrowserParameter(const char* address) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string parameter;
    for (const char* p = address; *p != '\0'; ++p) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (!NeedsEncoding(byte)) {
            parameter += *p;
            continue;
        }
        parameter += '%';
        parameter += kHex[byte >> 4];
        parameter += kHex[byte & 0x0f];
    }
    return parameter;
}

}  // namespace

void OpenInBrowser(const char* address) {
    // The browser would read such an address as one of its own switches
    // ("-k" starts kiosk mode), whatever the encoding.
    if (address[0] == '-' || address[0] == '/') {
        platform::DebugLine("OpenInBrowser refuses an address that begins like a switch:");
        platform::DebugLine(address);
        return;
    }
    const std::string parameter = BrowserParameter(address);
    ShellExecuteA(nullptr, "open", "IExplore.exe", parameter.c_str(), nullptr, SW_SHOWNORMAL);
}
