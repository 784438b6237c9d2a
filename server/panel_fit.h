// What the clients' panel makes of a tip: which parts it shows, and whether
// each fits. The same layout as the library's panel (elements from y 25, a
// picture cell of 100 x 133 beside a text or 256 x 133 alone, a text box to
// x 240 and 110 high, buttons of 30 x 18), measured as its font draws:
// a 6-pixel cell per single-byte character, 12 per double-byte character,
// lines 12 pixels high.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tipserver {

// One character of a text in the client's code page.
struct PanelChar {
    uint8_t bytes = 1;  // its bytes in the code page
    char ascii = 0;     // the character when it is ASCII, else 0
};
using PanelText = std::vector<PanelChar>;

struct PanelTip {
    uint8_t style = 0;
    bool picture = false;   // a picture address is sent
    int picture_width = 0;  // 0: not known (a picture elsewhere)
    int picture_height = 0;
    PanelText title;
    PanelText text;
    std::vector<PanelText> captions;  // one per button
};

struct PanelFinding {
    std::string field;
    std::string message;
    bool refused = false;  // the panel shows nothing of the tip
};

// Every finding, refusals first.
std::vector<PanelFinding> FitTipInPanel(const PanelTip& tip, const std::string& encoding);

}  // namespace tipserver
