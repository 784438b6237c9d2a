/* A minimal host of tiprelay, in the order the host guide gives: COM on the
 * UI thread, msg_init, the identity before the message loop, the loop (which
 * serves the tip panels' timers and clicks), msg_exit on the same thread.
 *
 *   sample_host.exe [seconds]   (default 60; the first tip rises about
 *                                10 s after the start)
 *
 * Keep message.ini (naming your tips server) and tiprelay.dll beside it. */
#include <windows.h>
#include <objbase.h>
#include <stdlib.h>

#include "tiprelay.h"

#define TIMER_QUIT 1

static LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER:
        if (wParam == TIMER_QUIT) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show) {
    const int seconds = commandLine != NULL && commandLine[0] != '\0' ? atoi(commandLine) : 60;
    WNDCLASSA wc = {0};
    HWND window;
    MSG msg;
    (void)previous;
    (void)show;

    /* The download agent is a COM object, created on this thread. */
    if (FAILED(CoInitializeEx(NULL, COINIT_APARTMENTTHREADED))) return 1;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.lpszClassName = "SampleHostWindow";
    if (!RegisterClassA(&wc)) return 1;
    /* A real host has its main window here; this one stays hidden. */
    window = CreateWindowA("SampleHostWindow", "sample host", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                           200, NULL, NULL, instance, NULL);
    if (window == NULL) return 1;
    SetTimer(window, TIMER_QUIT, (UINT)(seconds > 0 ? seconds : 60) * 1000u, NULL);

    /* Start on the thread that runs the loop below, and hand over the
     * identity before returning to it: the one query of this start carries
     * it. Texts are in the ANSI code page; the edition matches the tips
     * catalogue's "pids" byte for byte. */
    msg_init(0);
    set_clinettype("PRO", 3, 0);
    set_username("sample-user", 11, 0);

    while (GetMessageA(&msg, NULL, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    /* Stop on the same thread, before the library is unloaded. */
    msg_exit();
    CoUninitialize();
    return 0;
}
