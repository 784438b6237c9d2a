// Answers for the loopback tips server, and a reader for the query bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/tip_record.h"

// A tip valid from an hour ago for a day, with a text; a picture address
// when `pictureUrl` is not empty.
TipRecord MakeTip(uint32_t id, const std::string& text, const std::string& pictureUrl = std::string());

// A "RESPNEWMESS" packet: status, last-time value, the records, interval.
std::string NewTipsAnswer(int32_t status, uint32_t lastTime, const std::vector<TipRecord>& tips,
                          uint32_t panelInterval);
// A "RESPERROR" packet carrying `code`.
std::string ErrorAnswer(int32_t code);

// The fields of a received "QUERYNEWMESS" packet; ok false when the bytes
// do not hold exactly one such packet.
struct ReceivedQuery {
    bool ok = false;
    uint32_t version = 0;
    uint32_t sequence = 0;
    uint32_t restLength = 0;
    std::string name;
    std::string userName;
    std::string pid;
    uint32_t reserved = 0;
    uint32_t lastTime = 0;
    uint32_t messageId = 0;
};
ReceivedQuery ReadQuery(const std::string& packet);
