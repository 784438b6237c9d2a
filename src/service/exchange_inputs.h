// What one exchange with the tips server is built from.
#pragma once

#include <cstdint>
#include <string>

// Where to ask, and where the server's values are written back.
struct ExchangeTarget {
    std::string serverHost;
    uint16_t serverPort = 0;
    int32_t lastTime = 0;
    std::string settingsFile;
};

// Who asks: the values the host handed over, copied once for the query.
struct QueryIdentity {
    std::string userName;
    std::string pid;
    uint32_t messageId = 0;
};
