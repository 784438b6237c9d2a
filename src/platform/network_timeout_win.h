// How long one network step may take before it counts as failed: a connect,
// a send, a receive, and each step of a picture download. A server that
// never answers then fails the exchange like a refused connection, instead
// of holding the worker, and with it the ready flag, for the whole run.
#pragma once

#include <windows.h>

constexpr DWORD kNetworkTimeoutMs = 30000;
