#include "service/settings.h"

#include <windows.h>

#include <cstdio>

const char kDefaultServerHost[] = "tips.tiprelay.example";

ServiceSettings ReadSettings(const char* settingsFile) {
    ServiceSettings s;
    s.serverPort = static_cast<int32_t>(
        GetPrivateProfileIntA("TCPSERVER", "PORT", kDefaultServerPort, settingsFile));
    // A 100-byte buffer: at most 99 bytes of the host name are kept.
    char host[100] = {};
    GetPrivateProfileStringA("TCPSERVER", "HOST", kDefaultServerHost, host, sizeof host,
                             settingsFile);
    s.serverHost = host;
    s.lastTime = static_cast<int32_t>(GetPrivateProfileIntA("LASTTIME", "PID", 0, settingsFile));
    s.panelInterval = static_cast<int32_t>(
        GetPrivateProfileIntA("NEXTPANEL", "INTERVAL", kDefaultPanelInterval, settingsFile));
    s.testMessageId =
        static_cast<int32_t>(GetPrivateProfileIntA("TESTMESSAGE", "ID", 0, settingsFile));
    // Longer than any ProgID may be, so that a wrong one is refused whole
    // rather than cut into another name.
    char agent[128] = {};
    GetPrivateProfileStringA("AGENT", "PROGID", "", agent, sizeof agent, settingsFile);
    s.agentProgId = agent;
    return s;
}

void ReadWrittenBack(const char* settingsFile, ServiceSettings* settings) {
    settings->lastTime = static_cast<int32_t>(GetPrivateProfileIntA("LASTTIME", "PID", settings->lastTime, settingsFile));
    settings->panelInterval =
        static_cast<int32_t>(GetPrivateProfileIntA("NEXTPANEL", "INTERVAL", settings->panelInterval, settingsFile));
}

bool WriteSettingInt(const char* settingsFile, const char* section, const char* key,
                     int32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    return WritePrivateProfileStringA(section, key, text, settingsFile) != 0;
}
