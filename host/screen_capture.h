// Reading pixels off the screen, and finding a tip panel's action buttons
// among them, for tipuser and for the tests and the soak that look at a
// panel the way a user sees it.
#pragma once

#include <windows.h>

#include <vector>

// Pixels row by row from the top, as COLORREF.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<COLORREF> pixels;
    COLORREF At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// The `width` x `height` pixels of `source` from (x, y).
Capture CaptureDC(HDC source, int x, int y, int width, int height);
Capture CaptureScreen(const RECT& rect);

// True when two colours differ by at most `tolerance` in each channel.
bool Near(COLORREF a, COLORREF b, int tolerance);

// Centres of a panel's action buttons, left to right, in panel pixels: a
// run of the button fill as wide as a button, under a border of the border
// colour.
std::vector<POINT> FindButtons(const Capture& panel);
