#include "protocol/tip_wire.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "core_test_support.h"
#include "protocol/resp_new_mess.h"
#include "store/show_data_list.h"

namespace {

constexpr int32_t kNow = 1600000000;

// Each case fills some fields to the brim: a full field has no NUL and must
// still travel with its whole width, and no further (the byte after a full
// title is the version).
std::unique_ptr<TipRecord> Filled(uint32_t id, int buttons, bool fullFields) {
    auto tip = coretest::MakeTip(id, kNow - 100, kNow + 100, "");
    auto fill = [&](auto& field, char c) {
        if (fullFields) {
            std::memset(field, c, sizeof field);
        } else {
            SetFieldText(field, std::string(3 + id % 5, c));
        }
    };
    fill(tip->szText, 't');
    fill(tip->szLinkURL, 'l');
    fill(tip->szTitle, 'h');
    tip->nButtonCount = buttons;
    for (int k = 0; k < buttons; ++k) {
        fill(tip->aButtons[k].szCaption, char('A' + k));
        fill(tip->aButtons[k].szAction, char('a' + k));
        fill(tip->aButtons[k].szURL, char('0' + k));
    }
    tip->byStyle = uint8_t(id * 37);
    tip->nShowSeconds = -int32_t(id);
    tip->byShowFirst = uint8_t(id % 3);
    return tip;
}

TEST(TipWire, WrittenRecordsDecodeToTheSameBytes) {
    coretest::FixedClock clock(kNow);
    for (bool full : {false, true}) {
        std::vector<std::unique_ptr<TipRecord>> sent;
        std::vector<const TipRecord*> tips;
        for (uint32_t id = 1; id <= 8; ++id) {
            sent.push_back(Filled(id, int(id % 4), full));
            tips.push_back(sent.back().get());
        }
        const auto packet = coretest::Packet("RESPNEWMESS", coretest::ResponseBody(5, tips, 9));
        CShowDataList store;
        CRespNewMess response(&store);
        {
            coretest::LineCapture lines;
            response.Decode(packet.data(), uint32_t(packet.size()));
            EXPECT_EQ(lines.Count("struct change !!!!!!!!!!!!!!!!"), 0);
        }
        ASSERT_EQ(response.GetPanelInterval(), 9u);
        int received = 0;
        while (TipRecord* got = store.GetOneShowData(1)) {
            std::unique_ptr<TipRecord> owned(got);
            const TipRecord& original = *sent.at(got->nMessageID - 1);
            EXPECT_EQ(std::memcmp(got, &original, sizeof(TipRecord)), 0) << got->nMessageID << " full " << full;
            ++received;
        }
        EXPECT_EQ(received, 8);
    }
}

TEST(TipWire, RefusesARecordWithMoreButtonsThanItCanCarry) {
    auto tip = coretest::MakeTip(1, 0, 1);
    tip->nButtonCount = 4;
    std::vector<uint8_t> out;
    ByteWriter w(out);
    EXPECT_FALSE(AppendTipRecordWire(w, *tip));

    tip->nButtonCount = -1;  // travels as is and means no buttons
    EXPECT_TRUE(AppendTipRecordWire(w, *tip));
    EXPECT_EQ(out.size(), 42u + 4);  // the four bytes of "text"
}

TEST(TipWire, FullWriterReportsFailure) {
    auto tip = coretest::MakeTip(1, 0, 1);
    uint8_t small[40];
    ByteWriter w(small, sizeof small);
    EXPECT_FALSE(AppendTipRecordWire(w, *tip));
}

TEST(TipRecord, SetFieldTextCutsToLeaveTheNulAndClearsTheRest) {
    auto tip = NewTipRecord();
    std::memset(tip->szText, 'x', sizeof tip->szText);
    SetFieldText(tip->szText, "short");
    EXPECT_EQ(FieldText(tip->szText), "short");
    for (size_t i = 5; i < sizeof tip->szText; ++i) ASSERT_EQ(tip->szText[i], 0);

    SetFieldText(tip->szTitle, std::string(60, 'y'));
    EXPECT_EQ(FieldText(tip->szTitle), std::string(39, 'y'));
    EXPECT_EQ(tip->byVersion, 0);
}

}  // namespace
