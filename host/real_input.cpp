#include "real_input.h"

void SendMouse(DWORD flags, int screenX, int screenY) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        // Absolute input runs 0..65535 across the screen; round to the pixel.
        const int w = GetSystemMetrics(SM_CXSCREEN);
        const int h = GetSystemMetrics(SM_CYSCREEN);
        input.mi.dx = static_cast<LONG>((screenX * 65535LL + (w - 1) / 2) / (w - 1));
        input.mi.dy = static_cast<LONG>((screenY * 65535LL + (h - 1) / 2) / (h - 1));
    }
    SendInput(1, &input, sizeof input);
}
