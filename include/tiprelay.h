/*
 * tiprelay.h: the host's interface to tiprelay.dll.
 *
 * Six functions, all __stdcall (the callee removes its arguments), exported
 * under their plain names. Every argument and result is 32 bits. Call them
 * all from the host's user-interface thread: the thread that runs the
 * message loop (which serves the tip panels' timers and clicks) and has
 * initialised COM (the download agent is reached through COM).
 *
 * Link with libtiprelay.dll.a (MinGW) or tiprelay.lib (MSVC), or load the
 * DLL with LoadLibrary and GetProcAddress by these names.
 */
#ifndef TIPRELAY_H
#define TIPRELAY_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef TIPRELAY_API
#define TIPRELAY_API __declspec(dllimport)
#endif

/* Starts the library: reads message.ini beside the host program, loads the
 * stored tips, starts the one query of this start on a worker thread and
 * creates the (hidden) tip panels. `unused` is ignored. Always returns 1.
 * Calling it again without msg_exit first stops the earlier start. */
TIPRELAY_API int __stdcall msg_init(int unused);

/* Stops the library: saves the display history, ends the worker (within
 * about half a second, whatever the network does) and destroys the panels.
 * Returns 1, or 0 when the library was not started. Call it before you
 * unload the DLL. */
TIPRELAY_API int __stdcall msg_exit(void);

/* Hands over the client edition (PID): exactly `count` bytes of `pid` in the
 * ANSI code page, no NUL needed. Call it right after msg_init, before your
 * thread returns to its message loop, so the query carries it. A count
 * below 1 changes nothing. Before msg_init it changes nothing. Returns 1. */
TIPRELAY_API int __stdcall set_clinettype(const char* pid, int count, int unused);

/* Hands over the user name, like set_clinettype. Returns 1. */
TIPRELAY_API int __stdcall set_username(const char* name, int count, int unused);

/* Accepted for compatibility; does nothing. Returns 1. */
TIPRELAY_API int __stdcall show_onetips(int unused);

/* Asks this start's query for one particular tip (testing on one machine).
 * Call it right after msg_init. 0 means none. Returns 1. */
TIPRELAY_API int __stdcall SetMessageID(int message_id);

#ifdef __cplusplus
}
#endif

#endif /* TIPRELAY_H */
