// Reading a "QUERYNEWMESS" body on the serving side. The client's own query
// class never decodes a body; a server must, and must trust none of it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct QueryFields {
    std::string userName;
    std::string pid;
    uint32_t reserved = 0;
    uint32_t lastTime = 0;
    uint32_t messageId = 0;
};

// False when the body ends before the last field; bytes after it are ignored.
bool ParseQueryBody(const uint8_t* body, size_t length, QueryFields* out);
