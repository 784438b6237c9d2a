// Helpers for the panel tests: tips, test pictures, driving a panel's
// animation, and reading what is on the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/tip_record.h"
#include "screen_capture.h"
#include "support/test_pictures.h"

class CMessPanel;

struct TipContent {
    uint32_t id = 1;
    std::string title;
    std::string picture;
    std::string text;
    std::string link;
    std::string captions[3];
    std::string actions[3];
    std::string urls[3];
    int32_t showSeconds = 0;
    uint8_t style = 0;
};

// A record valid from now on, ready to be queued.
std::unique_ptr<TipRecord> MakeTip(const TipContent& content);

// Shows the strings of `content` on `panel` through ShowPanel.
int32_t ShowContent(CMessPanel& panel, const TipContent& content, int32_t staySeconds);

// Sends animation ticks until the panel has risen to its shown position
// (at most `maxTicks`), and returns how many it took.
int RaisePanel(CMessPanel& panel, int maxTicks = 100);
// One animation tick, as the timer would deliver it.
void Tick(CMessPanel& panel, int count = 1);
// Lets the panel paint and the display catch up.
void SettlePaint();

RECT WorkArea();
RECT WindowRect(HWND window);

Capture CaptureBitmap(HBITMAP bitmap);
// Writes a 24-bit BMP.
bool SaveBmp(const std::string& path, const Capture& capture);
std::string ColourText(COLORREF c);
