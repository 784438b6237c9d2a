#include "protocol/resp_new_mess.h"

#include "platform/platform.h"
#include "protocol/byte_order.h"
#include "protocol/protocol_error.h"
#include "protocol/tip_record.h"
#include "store/show_data_list.h"

namespace {

// More than this many records is taken as a broken count.
constexpr int32_t kMaxRecordCount = 100;
constexpr int32_t kFallbackRecordCount = 20;

uint32_t NeedU32(ByteReader& in, const char* line) {
    uint32_t v = 0;
    if (!in.ReadU32(v)) protocol::ThrowError(line);
    return v;
}

int32_t NeedI32(ByteReader& in, const char* line) { return static_cast<int32_t>(NeedU32(in, line)); }

uint8_t NeedU8(ByteReader& in, const char* line) {
    uint8_t v = 0;
    if (!in.ReadU8(v)) protocol::ThrowError(line);
    return v;
}

struct TextLines {
    const char* lengthWord;
    const char* bytes;
    const char* tooLong;
};

// A length word and that many bytes into the start of the field; refuses a
// text longer than the field. Returns the length.
template <size_t N>
uint32_t NeedText(ByteReader& in, char (&field)[N], const TextLines& lines) {
    const uint32_t length = NeedU32(in, lines.lengthWord);
    if (length == 0) return 0;
    if (!in.CanRead(length)) protocol::ThrowError(lines.bytes);
    if (length > N) protocol::ThrowError(lines.tooLong);
    in.ReadBytes(field, length);
    return length;
}

}  // namespace

CRespNewMess::CRespNewMess() : CRespNewMess(CShowDataList::GetInstance()) {}

CRespNewMess::CRespNewMess(CShowDataList* store) : CNetResponse("RESPNEWMESS"), m_pStore(store) {}

void CRespNewMess::EncodeBody(uint8_t*, uint32_t& length) { length = 0; }

void CRespNewMess::DecodeBody(const uint8_t* buffer, uint32_t length) {
    ByteReader in(buffer, length);
    m_nResult = NeedI32(in, "error1");
    if (m_nResult != 0) {
        platform::DebugLine("error2");
        return;
    }
    m_nLastTime = NeedU32(in, "error3");
    int32_t count = NeedI32(in, "error4");
    if (count > kMaxRecordCount) count = kFallbackRecordCount;
    if (count == 0) platform::DebugLine("nMessageCount == 0");
    for (int32_t i = 0; i < count; ++i) DecodeRecord(in);
    m_nPanelInterval = NeedU32(in, "error35");
}

void CRespNewMess::DecodeRecord(ByteReader& in) {
    const uint64_t start = in.Position();
    std::unique_ptr<TipRecord> tip = NewTipRecord();

    const uint32_t recordLength = NeedU32(in, "error5");
    tip->nMessageID = NeedU32(in, "error6");
    tip->byStyle = NeedU8(in, "error7");
    tip->nShowSeconds = NeedI32(in, "error8");
    tip->tBeginTime = NeedI32(in, "error9");
    tip->tEndTime = NeedI32(in, "error11");
    const uint32_t pictureLength = NeedText(in, tip->szPicture, {"error11", "error12", "error13"});
    NeedText(in, tip->szText, {"error14", "error15", "error16"});
    NeedText(in, tip->szLinkURL, {"error17", "error18", "error19"});

    const int32_t buttons = NeedI32(in, "error20");
    if (buttons > kMaxTipButtons) protocol::ThrowError("error21");
    tip->nButtonCount = buttons;
    for (int32_t k = 0; k < buttons; ++k) {
        TipButton& button = tip->aButtons[k];
        NeedText(in, button.szCaption, {"error22", "error23", "error24"});
        NeedText(in, button.szAction, {"error25", "error26", "error27"});
        NeedText(in, button.szURL, {"error28", "error29", "error30"});
    }
    tip->byShowFirst = NeedU8(in, "error31");
    NeedText(in, tip->szTitle, {"error32", "error33", "error34"});
    tip->byVersion = kTipRecordVersion;

    // The next record starts where this one says it ends: newer fields at
    // the end are skipped; a short length makes bytes be read again.
    if (in.Position() - start != recordLength) {
        platform::DebugLine("struct change !!!!!!!!!!!!!!!!");
        in.Seek(start + recordLength);
    }

    platform::DebugLine("Recv one Data ,Add list");
    if (pictureLength == 0) {
        tip->bPicReady = 1;
        if (m_pStore != nullptr) m_pStore->AddOneShowData(tip.release());
    } else {
        if (m_pStore != nullptr) m_pStore->AddWaitPicData(tip.release());
        platform::DebugLine("Recv one Data ,AddWaitPicData");
    }
}
