// Tells the worker when the host has finished its start-up calls.
//
// The host calls msg_init and then hands over the user name, the client
// type and a message ID, all before it returns to its message loop. The
// worker builds its one query from those values, so it waits until the
// host's thread is back in its message loop (a thread timer fires there),
// and never longer than a bound, so a host without a loop still gets its
// query. The worker shares the signal; the host's thread owns the timer.
#pragma once

#include "platform/handles.h"

class CHostSettled {
public:
    CHostSettled() = default;
    CHostSettled(const CHostSettled&) = delete;
    CHostSettled& operator=(const CHostSettled&) = delete;

    // On the host's thread: arms the timer. False if nothing could be armed
    // (then Wait returns at once).
    bool Arm();
    // On the worker: waits for the host's loop, at most `boundMs`.
    void Wait(DWORD boundMs) const;
    // Releases any waiter at once (service stop).
    void Release() const;
    // On the host's thread, at the stop: the timer goes, so that the event
    // may live on with a worker that still holds it.
    void Disarm();

private:
    handles::Kernel m_event;
    UINT_PTR m_timer = 0;
};
