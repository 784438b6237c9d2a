// Host name lookup that a stop can walk away from.
//
// The system's lookup cannot be interrupted. It runs on a helper thread of
// its own; the caller waits for it, for the abandon event or for the
// network time-out, whichever comes first. An abandoned helper finishes its
// lookup by itself and then ends, holding a reference on this module so
// that the code it returns into is still there.
#pragma once

#include <winsock2.h>

// 1 and the first IPv4 address found; 0 when nothing was found; -1 when
// the wait was abandoned or timed out.
int LookUpHost(const char* host, HANDLE abandon, in_addr* address);
