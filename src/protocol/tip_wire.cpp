#include "protocol/tip_wire.h"

#include "protocol/byte_order.h"

namespace {

template <size_t N>
uint32_t WireTextSize(const char (&field)[N]) {
    return 4 + uint32_t(FieldLength(field));
}

template <size_t N>
bool PutField(ByteWriter& out, const char (&field)[N]) {
    return out.PutText(field, FieldLength(field));
}

}  // namespace

bool AppendTipRecordWire(ByteWriter& out, const TipRecord& tip) {
    const int32_t buttons = tip.nButtonCount;
    if (buttons > kMaxTipButtons) return false;

    uint32_t length = 4 + 4 + 1 + 4 + 4 + 4;
    length += WireTextSize(tip.szPicture) + WireTextSize(tip.szText) + WireTextSize(tip.szLinkURL) + 4;
    for (int32_t k = 0; k < buttons; ++k) {
        const TipButton& b = tip.aButtons[k];
        length += WireTextSize(b.szCaption) + WireTextSize(b.szAction) + WireTextSize(b.szURL);
    }
    length += 1 + WireTextSize(tip.szTitle);

    out.PutU32(length);
    out.PutU32(tip.nMessageID);
    out.PutU8(tip.byStyle);
    out.PutI32(tip.nShowSeconds);
    out.PutI32(tip.tBeginTime);
    out.PutI32(tip.tEndTime);
    PutField(out, tip.szPicture);
    PutField(out, tip.szText);
    PutField(out, tip.szLinkURL);
    out.PutI32(buttons);
    for (int32_t k = 0; k < buttons; ++k) {
        PutField(out, tip.aButtons[k].szCaption);
        PutField(out, tip.aButtons[k].szAction);
        PutField(out, tip.aButtons[k].szURL);
    }
    out.PutU8(tip.byShowFirst);
    PutField(out, tip.szTitle);
    return out.Ok();
}
