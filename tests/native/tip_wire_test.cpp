#include "protocol/tip_wire.h"

#include <gtest/gtest.h>

#include "core_test_support.h"
#include "protocol/resp_new_mess.h"

namespace {

// Tips 1..8 with id % 4 buttons (tip 8: a count of -1, meaning none) and a
// picture when the id is odd; tips 5..8 fill every text to the brim of its
// field (no NUL), the others a few bytes. They decode to the same bytes, and
// only those with a picture wait for it.
TEST(TipWire, WrittenRecordsDecodeToTheSameBytes) {
    coretest::FixedClock clock(1600000000);
    std::vector<std::unique_ptr<TipRecord>> sent;
    auto body = coretest::Words({0, 5, 8});
    ByteWriter w(body);
    for (uint32_t id = 1; id <= 8; ++id) {
        sent.push_back(coretest::MakeTip(id, 1600000000 - 1, 1600000000 + 1, ""));
        TipRecord& tip = *sent.back();
        auto fill = [&](auto& field, int c) { std::memset(field, c, id > 4 ? sizeof field : id + 2); };
        fill(tip.szText, 't'), fill(tip.szLinkURL, 'l'), fill(tip.szTitle, 'h');
        if (id % 2) fill(tip.szPicture, 'p');
        tip.bPicReady = id % 2 ? 0 : 1;  // the decoder's flag: no picture to wait for
        tip.nButtonCount = id == 8 ? -1 : int32_t(id % 4);
        for (int k = 0; k < tip.nButtonCount; ++k) {
            fill(tip.aButtons[k].szCaption, 'A' + k), fill(tip.aButtons[k].szAction, 'a'), fill(tip.aButtons[k].szURL, 'u');
        }
        tip.byStyle = uint8_t(id * 37), tip.nShowSeconds = -int32_t(id), tip.byShowFirst = uint8_t(id % 3);
        EXPECT_TRUE(AppendTipRecordWire(w, tip));
    }
    w.PutU32(9);
    CShowDataList store;
    const auto packet = coretest::Packet("RESPNEWMESS", body);
    CRespNewMess(&store).Decode(packet.data(), uint32_t(packet.size()));
    size_t received = 0;
    for (const bool waiting : {true, false}) {
        for (TipRecord* got; (got = waiting ? store.GetWaitPicData() : store.GetOneShowData(1)); ++received) {
            std::unique_ptr<TipRecord> owned(got);
            EXPECT_EQ(got->nMessageID % 2 == 1, waiting) << got->nMessageID;
            EXPECT_EQ(std::memcmp(got, sent.at(got->nMessageID - 1).get(), sizeof *got), 0) << got->nMessageID;
        }
    }
    EXPECT_EQ(received, sent.size());
    uint8_t small[1000];
    ByteWriter full(small, sizeof small);
    EXPECT_FALSE(AppendTipRecordWire(full, *sent[7]));
    sent[0]->nButtonCount = 4;
    EXPECT_FALSE(AppendTipRecordWire(w, *sent[0]));
    SetFieldText(sent[1]->szTitle, std::string(60, 'y'));
    EXPECT_EQ(FieldText(sent[1]->szTitle) + char(sent[1]->byVersion), std::string(39, 'y') + char(kTipRecordVersion));
    SetFieldText(sent[1]->szTitle, "short");
    EXPECT_EQ(std::string(sent[1]->szTitle, sizeof sent[1]->szTitle), "short" + std::string(35, '\0'));
}

}  // namespace
