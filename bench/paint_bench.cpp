// Prints what painting a tip panel costs (run under Wine or on Windows):
// - the whole paint of a tip with a 100 x 133 JPEG picture, a title, a text
//   and two buttons: the picture file read and decoded, the skin copied, the
//   elements drawn, all off screen and copied once;
// - the same paint through the window (WM_PAINT onto the display);
// - the picture loading alone, and the paint of a tip with a text only.
// The four take turns run by run, each printed with its spread.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "panels/mess_panel.h"
#include "panels/picture_bitmap.h"
#include "panels/slip_mess_panel.h"
#include "panels/stat_mess_panel.h"
#include "platform/handles.h"
#include "support/test_pictures.h"
#include "wine_bench.h"

namespace {

struct Case {
    const char* what;
    std::function<void()> step;
    std::vector<double> ms;
};

// Warms every case up, then runs them in turn, `runs` times round.
void MeasureInTurn(std::vector<Case>& cases, int runs) {
    for (int i = 0; i < 10; ++i)
        for (Case& c : cases) c.step();  // caches and lazy loads
    for (int i = 0; i < runs; ++i)
        for (Case& c : cases) c.ms.push_back(TimeMs(c.step));
    for (Case& c : cases) ReportSpread(c.what, c.ms);
}

bool WriteFile(const std::string& path, const std::string& bytes) {
    FILE* out = std::fopen(path.c_str(), "wb");
    if (!out) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    return std::fclose(out) == 0 && ok;
}

int32_t Show(CMessPanel& panel, const std::string& picture, const char* text) {
    return panel.ShowPanel("Weekly tip", picture.c_str(), text, "http://example.test/", "Open", "OPENURL",
                           "http://example.test/open", "Get", "DOWNLOAD", "http://example.test/get", "", "", "",
                           0);
}

}  // namespace

int main() {
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    const std::string picture = std::string(folder) + "paint_bench.gif";
    const std::string jpeg = JpegBytes(100, 133, 0, true);
    if (jpeg.empty() || !WriteFile(picture, jpeg)) {
        std::fprintf(stderr, "paint_bench: no JPEG encoder or no temporary folder\n");
        return 1;
    }
    MakeHostWindow();
    // One panel shows the tip with a picture, the other the same without.
    CSlipMessPanel withPicture;
    CStatMessPanel textOnly;
    if (!withPicture.Create() || !textOnly.Create()) {
        std::fprintf(stderr, "paint_bench: the panels could not be created\n");
        return 1;
    }
    const handles::WindowDC screen(nullptr);
    const handles::Bitmap canvas(CreateCompatibleBitmap(screen.get(), kPanelWidth, kPanelHeight));
    const handles::MemoryDC target(CreateCompatibleDC(screen.get()));
    const handles::Select selected(target.get(), canvas.get());

    std::printf("JPEG of %zu bytes, 100 x 133\n", jpeg.size());
    Show(withPicture, picture, "Pause a download and pick it up later[]where you left off.");
    Show(textOnly, "", "Pause a download and pick it up later[]where you left off.");
    std::vector<Case> cases{
        {"picture loading alone (read, decode, render)",
         [&] {
             CPictureBitmap bitmap;
             bitmap.LoadFile(picture.c_str(), 0);
         },
         {}},
        {"paint, picture + text + buttons, off screen", [&] { withPicture.Render(target.get()); }, {}},
        {"paint, picture + text + buttons, WM_PAINT",
         [&] {
             InvalidateRect(withPicture.Window(), nullptr, FALSE);
             UpdateWindow(withPicture.Window());
         },
         {}},
        {"paint, text + buttons, off screen", [&] { textOnly.Render(target.get()); }, {}},
    };
    MeasureInTurn(cases, 500);

    withPicture.Destroy();
    textOnly.Destroy();
    DeleteFileA(picture.c_str());
    return 0;
}
