#include "panel_fit.h"

#include <algorithm>

namespace tipserver {
namespace {

constexpr int kCharWidth = 6;
constexpr int kLineHeight = 12;
constexpr int kBoxRight = 240;
constexpr int kBoxHeight = 110;
constexpr int kTitleGap = 6;
constexpr int kButtonWidth = 30;
constexpr int kCellHeight = 133;

int Width(const PanelChar& c) { return c.bytes >= 2 ? 2 * kCharWidth : kCharWidth; }

size_t Bytes(const PanelText& text) {
    size_t bytes = 0;
    for (const PanelChar& c : text) bytes += c.bytes;
    return bytes;
}

struct Wrapped {
    int lines = 0;
    int widest_word = 0;  // a word wider than the box cannot be broken
};

// Word-wrapped as the panel draws: lines break at spaces and on either side
// of a double-byte character; with `markup`, "[]" is a line break.
Wrapped Wrap(const PanelText& text, int box_width, bool markup) {
    Wrapped out;
    int x = 0, spaces = 0, word = 0;
    bool open = false;
    const auto place = [&](int width) {
        out.widest_word = std::max(out.widest_word, width);
        if (!open) {
            ++out.lines;
            open = true;
            x = width;
        } else if (x + spaces + width <= box_width) {
            x += spaces + width;
        } else {
            ++out.lines;
            x = width;
        }
        spaces = 0;
    };
    const auto flush = [&] {
        if (word != 0) place(word);
        word = 0;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const PanelChar& c = text[i];
        if (markup && c.ascii == '[' && i + 1 < text.size() && text[i + 1].ascii == ']') {
            flush();
            if (!open) ++out.lines;  // an empty line takes its height too
            open = false;
            spaces = 0;
            ++i;
        } else if (c.ascii == ' ') {
            flush();
            if (open) spaces += kCharWidth;
        } else if (c.bytes >= 2) {
            flush();
            place(Width(c));
        } else {
            word += Width(c);
        }
    }
    flush();
    return out;
}

// A caption as DST_PREFIXTEXT draws it: "&" marks the next character and
// takes no room; "&&" shows one.
int CaptionWidth(const PanelText& caption) {
    int width = 0;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i].ascii == '&' && i + 1 < caption.size()) ++i;
        width += Width(caption[i]);
    }
    return width;
}

std::string Px(int pixels) { return std::to_string(pixels) + " pixels"; }

}  // namespace

std::vector<PanelFinding> FitTipInPanel(const PanelTip& tip, const std::string& encoding) {
    std::vector<PanelFinding> found;
    const bool hides_picture = tip.style >= 11 && tip.style <= 20;
    const bool picture_alone = tip.style >= 21 && tip.style <= 30;
    const size_t text_bytes = Bytes(tip.text);
    const size_t caption_bytes = tip.captions.empty() ? 0 : Bytes(tip.captions[0]);
    // The panel counts a picture from 4 bytes (any address), a text from 3
    // bytes and buttons from a first caption of 3 bytes.
    const bool shows_picture = tip.picture && !hides_picture;
    const bool shows_text = text_bytes >= 3 && !picture_alone;
    const bool shows_buttons = caption_bytes >= 3 && !picture_alone;
    const std::string style = "style " + std::to_string(tip.style);

    if (!shows_picture && !shows_text) {
        const std::string nothing = "clients show nothing of this tip: ";
        if (hides_picture && tip.picture)
            found.push_back(
                {"style", nothing + style + " hides the picture, and it has no text of 3 bytes or more", true});
        else if (picture_alone && text_bytes != 0)
            found.push_back({"style", nothing + style + " shows the picture alone, and it has none", true});
        else if (text_bytes != 0)
            found.push_back({"text",
                             nothing + "its text is " + std::to_string(text_bytes) + " bytes in " + encoding +
                                 " (a text shows from 3 bytes) and it has no picture",
                             true});
        else
            found.push_back({"text", "a tip needs a picture or a text", true});
        return found;
    }
    if (hides_picture && tip.picture)
        found.push_back({"style", style + " hides the picture: clients fetch it and never show it"});
    if (picture_alone && (text_bytes != 0 || !tip.captions.empty()))
        found.push_back({"style", style + " shows the picture alone: the text and the buttons never show"});
    if (text_bytes != 0 && text_bytes < 3 && !picture_alone)
        found.push_back({"text", std::to_string(text_bytes) + " bytes in " + encoding +
                                     ": a text shows from 3 bytes, so this one never shows"});
    if (!tip.title.empty() && !shows_text)
        found.push_back({"title", "never shows: the panel shows a title only above a text"});
    if (!tip.captions.empty() && caption_bytes < 3 && !picture_alone)
        found.push_back({"buttons[0].caption", std::to_string(caption_bytes) + " bytes in " + encoding +
                                                   ": buttons show only when the first caption has 3 bytes or more, "
                                                   "so none of this tip's buttons shows"});

    if (shows_text) {
        const int box_width = kBoxRight - (shows_picture ? 117 : 20);
        const Wrapped title = Wrap(tip.title, box_width, false);
        const Wrapped body = Wrap(tip.text, box_width, true);
        const int title_height = title.lines * kLineHeight;
        const int height = title_height + kTitleGap + body.lines * kLineHeight;
        if (title.widest_word > box_width)
            found.push_back({"title", "a word of " + Px(title.widest_word) + " is wider than the text box's " +
                                          Px(box_width) + ": cut"});
        if (body.widest_word > box_width)
            found.push_back({"text", "a word of " + Px(body.widest_word) + " is wider than the text box's " +
                                         Px(box_width) + ": cut"});
        if (height > kBoxHeight) {
            found.push_back({title_height > kBoxHeight ? "title" : "text",
                             std::to_string(title.lines) +
                                 (title.lines == 1 ? " title line and " : " title lines and ") +
                                 std::to_string(body.lines) + " text lines of " + Px(box_width) + " take " +
                                 Px(height) + " with the gap, the text box holds " + Px(kBoxHeight) + ": cut"});
        }
    }
    if (shows_buttons) {
        for (size_t k = 0; k < tip.captions.size(); ++k) {
            const std::string field = "buttons[" + std::to_string(k) + "].caption";
            if (tip.captions[k].empty()) {
                found.push_back({field, "empty: this button never shows"});
                continue;
            }
            const int width = CaptionWidth(tip.captions[k]);
            if (width > kButtonWidth)
                found.push_back({field, Px(width) + " wide, a button holds " + Px(kButtonWidth) +
                                            " (5 single-byte or 2 double-byte characters): cut"});
        }
    }
    if (shows_picture && tip.picture_width != 0) {
        const int cell_width = shows_text ? 100 : 256;
        if (tip.picture_width > cell_width || tip.picture_height > kCellHeight)
            found.push_back({"picture", std::to_string(tip.picture_width) + " x " + Px(tip.picture_height) +
                                            ", larger than its cell of " + std::to_string(cell_width) + " x " +
                                            std::to_string(kCellHeight) + (shows_text ? " beside the text" : "") +
                                            ": clients show its top-left part"});
    }
    return found;
}

}  // namespace tipserver
