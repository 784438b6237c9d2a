// The reason lines that stand next to the exchange's fixed lines, so that a
// failed exchange says why it failed.
#pragma once

#include <string>

// "name lookup failed", "connection refused", "timed out", ... for a socket
// error value.
std::string SocketFailureReason(int socketError);

// Logs "<step> failed: <reason>", e.g. "DataService connect server failed:
// connection refused".
void LogStepFailure(const char* step, const std::string& reason);
