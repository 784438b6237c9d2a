#include "support/panel_support.h"

#include <cstdio>

#include "panels/mess_panel.h"
#include "platform/platform.h"
#include "support/dll_under_test.h"

std::unique_ptr<TipRecord> MakeTip(const TipContent& content) {
    std::unique_ptr<TipRecord> tip = NewTipRecord();
    const int32_t now = platform::Now();
    tip->nMessageID = content.id;
    tip->byStyle = content.style;
    tip->nShowSeconds = content.showSeconds;
    tip->tBeginTime = now - 3600;
    tip->tEndTime = now + 24 * 3600;
    tip->bPicReady = 1;
    SetFieldText(tip->szPicture, content.picture);
    SetFieldText(tip->szText, content.text);
    SetFieldText(tip->szLinkURL, content.link);
    int buttons = 0;
    for (int k = 0; k < 3; ++k) {
        SetFieldText(tip->aButtons[k].szCaption, content.captions[k]);
        SetFieldText(tip->aButtons[k].szAction, content.actions[k]);
        SetFieldText(tip->aButtons[k].szURL, content.urls[k]);
        if (!content.captions[k].empty()) buttons = k + 1;
    }
    tip->nButtonCount = buttons;
    SetFieldText(tip->szTitle, content.title);
    tip->byVersion = kTipRecordVersion;
    return tip;
}

int32_t ShowContent(CMessPanel& panel, const TipContent& s, int32_t staySeconds) {
    return panel.ShowPanel(s.title.c_str(), s.picture.c_str(), s.text.c_str(), s.link.c_str(),
                           s.captions[0].c_str(), s.actions[0].c_str(), s.urls[0].c_str(),
                           s.captions[1].c_str(), s.actions[1].c_str(), s.urls[1].c_str(),
                           s.captions[2].c_str(), s.actions[2].c_str(), s.urls[2].c_str(), staySeconds);
}

void Tick(CMessPanel& panel, int count) {
    for (int i = 0; i < count; ++i) SendMessageA(panel.Window(), WM_TIMER, TIMER_ANIMATE, 0);
}

int RaisePanel(CMessPanel& panel, int maxTicks) {
    int ticks = 0;
    while (ticks < maxTicks && panel.CurrentTop() > panel.ShownTop()) {
        Tick(panel);
        ++ticks;
    }
    return ticks;
}

void SettlePaint() {
    PumpMessages(200);
    GdiFlush();
}

RECT WorkArea() {
    RECT work{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

RECT WindowRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

Capture CaptureBitmap(HBITMAP bitmap) {
    BITMAP info{};
    GetObjectA(bitmap, sizeof info, &info);
    HDC screen = GetDC(nullptr);
    HDC source = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(source, bitmap);
    Capture c = CaptureDC(source, 0, 0, info.bmWidth, info.bmHeight);
    SelectObject(source, old);
    DeleteDC(source);
    ReleaseDC(nullptr, screen);
    return c;
}

bool SaveBmp(const std::string& path, const Capture& c) {
    const uint32_t rowBytes = (static_cast<uint32_t>(c.width) * 3 + 3) & ~3u;
    const uint32_t imageBytes = rowBytes * c.height;
    std::string file;
    auto u16 = [&file](uint32_t v) {
        file.push_back(static_cast<char>(v & 0xFF));
        file.push_back(static_cast<char>((v >> 8) & 0xFF));
    };
    auto u32 = [&u16](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    u16(0x4D42);
    u32(54 + imageBytes);
    u32(0);
    u32(54);
    u32(40);
    u32(c.width);
    u32(c.height);
    u16(1);
    u16(24);
    u32(0);
    u32(imageBytes);
    u32(3780);
    u32(3780);
    u32(0);
    u32(0);
    for (int y = c.height - 1; y >= 0; --y) {
        for (int x = 0; x < c.width; ++x) {
            const COLORREF p = c.At(x, y);
            file.push_back(static_cast<char>(GetBValue(p)));
            file.push_back(static_cast<char>(GetGValue(p)));
            file.push_back(static_cast<char>(GetRValue(p)));
        }
        file.append(rowBytes - c.width * 3, '\0');
    }
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    return std::fclose(out) == 0 && ok;
}

std::string ColourText(COLORREF c) {
    char text[32];
    std::snprintf(text, sizeof text, "RGB(%d, %d, %d)", GetRValue(c), GetGValue(c), GetBValue(c));
    return text;
}
