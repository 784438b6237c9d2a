// One exchange with the tips server: build the query, connect, send,
// receive until the server closes, decode into the store, and write the
// server's panel interval back to message.ini.
#pragma once

#include <windows.h>

#include <cstdint>

#include "service/exchange_inputs.h"

class CShowDataList;
class CWorkerStop;

constexpr uint32_t kExchangeBufferSize = 0x40000;  // 262144

// What an exchange leaves for the rest of the cycle.
struct ExchangeOutcome {
    // It completed, whatever the answer's result code; false when it failed:
    // no connection, a broken send, a malformed answer, or the stop.
    bool completed = false;
    // The answer's result code was 0: its last-time value is due in
    // message.ini, once the tips it brought are stored.
    bool lastTimeDue = false;
    int32_t lastTime = 0;
};

// Each failure logs its reason next to the step's line. The answer's tips go into
// `store`; its panel interval, when in range, goes to message.ini at once.
// `stop` may be null.
ExchangeOutcome RunQueryExchange(const ExchangeTarget& target, const QueryIdentity& identity, CShowDataList* store,
                                 CWorkerStop* stop);
