// How the service stop reaches a worker that is waiting on the network.
//
// The stop signals one event, which every socket wait watches, and closes
// the Internet handles of the download in progress, which makes a blocked
// WinInet call return. Each Internet handle is closed exactly once, by
// whichever side comes first.
//
// When the worker still has not ended after the stop's bound, the stop gives
// up on it instead of killing it (a thread killed mid-call can leave the
// heap's or the store's lock held for ever). The worker brackets every touch
// of the store and of the data files with Enter/Leave; once given up, Enter
// fails and the worker ends without touching either again (it still holds
// its store, so a step it was in finishes on memory that is still there).
#pragma once

#include <atomic>
#include <vector>

#include "platform/handles.h"
#include "platform/platform.h"

class CWorkerStop {
public:
    CWorkerStop();
    ~CWorkerStop();
    CWorkerStop(const CWorkerStop&) = delete;
    CWorkerStop& operator=(const CWorkerStop&) = delete;

    // Manual-reset event, signalled by Request.
    HANDLE Event() const { return m_event.get(); }
    bool Requested() const;
    // Signals the event and closes every tracked Internet handle.
    void Request();

    // Takes over closing `handle`. When the stop has already come, the
    // handle is closed at once and false is returned.
    bool Track(HINTERNET handle);
    // Closes `handle` unless the stop has already closed it.
    void Close(HINTERNET handle);

    // Worker: false once the stop has given up on it.
    bool Enter();
    void Leave();
    // Stop: gives up on the worker. True when the worker was not between
    // Enter and Leave, so it will touch the store and the files no more.
    bool GiveUp();

private:
    handles::Kernel m_event;
    platform::Lock m_lock;
    std::vector<handles::Internet> m_tracked;
    bool m_requested = false;
    std::atomic<int> m_gate{kOutside};

    static constexpr int kOutside = 0;
    static constexpr int kInside = 1;
    static constexpr int kGivenUp = 2;
};

// Enter for one scope; a null stop always lets the caller through.
class CGateHold {
public:
    explicit CGateHold(CWorkerStop* stop) : m_stop(stop), m_held(stop == nullptr || stop->Enter()) {}
    ~CGateHold() {
        if (m_stop != nullptr && m_held) m_stop->Leave();
    }
    CGateHold(const CGateHold&) = delete;
    CGateHold& operator=(const CGateHold&) = delete;
    // False: the stop has given up on the worker; touch nothing shared.
    bool held() const { return m_held; }

private:
    CWorkerStop* m_stop;
    bool m_held;
};
