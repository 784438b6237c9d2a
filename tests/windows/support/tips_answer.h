// Answers for the loopback tips server, a reader for the query bytes, and
// the data files of an earlier run.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/query_body.h"
#include "protocol/tip_record.h"

// A tip valid from an hour ago for a day; a picture address when given.
TipRecord MakeTip(uint32_t id, const std::string& text, const std::string& pictureUrl = std::string());
// Leaves a message.dat of these tips and a messdisplay.dat of these ids
// shown, as an earlier run would.
void SaveEarlierRun(const std::vector<uint32_t>& tips, const std::vector<uint32_t>& shown = {});

// A "RESPNEWMESS" packet: status, last-time value, the records, interval.
std::string NewTipsAnswer(int32_t status, uint32_t lastTime, const std::vector<TipRecord>& tips,
                          uint32_t panelInterval);
std::string ErrorAnswer(int32_t code);  // a "RESPERROR" packet

// Reads a received "QUERYNEWMESS" packet; false unless the bytes hold exactly one.
bool ReadQuery(const std::string& packet, QueryFields* q);
