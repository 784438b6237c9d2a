#include "protocol/tip_record.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TipRecord, NewRecordIsZeroInEveryByte) {
    auto tip = NewTipRecord();
    const auto* bytes = reinterpret_cast<const unsigned char*>(tip.get());
    for (size_t i = 0; i < sizeof(TipRecord); ++i) ASSERT_EQ(bytes[i], 0) << "byte " << i;
}

TEST(TipRecord, FullFieldIsReadUpToItsEndAndNoFurther) {
    auto tip = NewTipRecord();
    std::memset(tip->szTitle, 'T', sizeof tip->szTitle);  // no NUL inside the field
    tip->byVersion = 'V';                                 // the byte right after it
    EXPECT_EQ(FieldLength(tip->szTitle), 40u);
    EXPECT_EQ(FieldText(tip->szTitle), std::string(40, 'T'));

    std::memset(tip->aButtons[0].szCaption, 'C', 20);
    std::memset(tip->aButtons[0].szAction, 'A', 20);
    EXPECT_EQ(FieldText(tip->aButtons[0].szCaption), std::string(20, 'C'));
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
