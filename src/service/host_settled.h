// Tells the worker when the host has finished its start-up calls.
//
// The host calls msg_init and then hands over the user name, the client
// type and a message ID, all before it returns to its message loop. The
// worker builds its one query from those values, so it waits until the
// host's thread is back in its message loop, and never longer than a bound,
// so a host without a loop still gets its query. What notices the loop is a
// timer of the sliding panel's window: it goes with the window, so it can
// neither outlive the library nor reach a later start's signal.
#pragma once

#include "platform/handles.h"

class CHostSettled {
public:
    CHostSettled();
    CHostSettled(const CHostSettled&) = delete;
    CHostSettled& operator=(const CHostSettled&) = delete;

    // On the worker: waits for the host's loop, at most `boundMs`; at once
    // when no event could be made.
    void Wait(DWORD boundMs) const;
    // The host's loop is reached, or the service stops: releases any waiter.
    void Release() const;

private:
    handles::Kernel m_event;
};
