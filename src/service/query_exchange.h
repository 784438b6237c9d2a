// One exchange with the tips server: build the query, connect, send,
// receive until the server closes, decode into the store, and write the
// server's last-time value and panel interval back to message.ini.
#pragma once

#include <windows.h>

#include <cstdint>

#include "service/exchange_inputs.h"

class CShowDataList;
class CWorkerStop;

constexpr uint32_t kExchangeBufferSize = 0x40000;  // 262144

// 1 when the exchange completed (whatever the answer's result code), 0 when
// it failed: no connection, a broken send, a malformed answer, or the stop.
// Logs no line of its own about a failure. The answer's tips go into
// `store`. `stop` may be null.
int RunQueryExchange(const ExchangeTarget& target, const QueryIdentity& identity, CShowDataList* store,
                     CWorkerStop* stop);
