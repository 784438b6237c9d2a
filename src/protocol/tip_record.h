// One tip: the packed record shared by the decoder, the store, the tip data
// file and the panels. The bytes in memory are the bytes in message.dat, so
// the layout below is a file format and is pinned field by field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#pragma pack(push, 1)

struct TipButton {
    char szCaption[20];
    char szAction[20];
    char szURL[1024];
};

struct TipRecord {
    uint32_t nMessageID;
    uint8_t byStyle;
    int32_t nShowSeconds;
    int32_t tBeginTime;
    int32_t tEndTime;
    uint32_t bPicReady;
    char szPicture[1024];
    char szText[100];
    char szLinkURL[1024];
    int32_t nButtonCount;
    TipButton aButtons[3];
    uint8_t byShowFirst;
    char szTitle[40];
    uint8_t byVersion;
};

#pragma pack(pop)

static_assert(sizeof(TipButton) == 1064, "TipButton is 1064 bytes");
static_assert(offsetof(TipButton, szCaption) == 0, "TipButton layout");
static_assert(offsetof(TipButton, szAction) == 20, "TipButton layout");
static_assert(offsetof(TipButton, szURL) == 40, "TipButton layout");

static_assert(sizeof(TipRecord) == 5407, "TipRecord is 5407 bytes");
static_assert(offsetof(TipRecord, nMessageID) == 0, "TipRecord layout");
static_assert(offsetof(TipRecord, byStyle) == 4, "TipRecord layout");
static_assert(offsetof(TipRecord, nShowSeconds) == 5, "TipRecord layout");
static_assert(offsetof(TipRecord, tBeginTime) == 9, "TipRecord layout");
static_assert(offsetof(TipRecord, tEndTime) == 13, "TipRecord layout");
static_assert(offsetof(TipRecord, bPicReady) == 17, "TipRecord layout");
static_assert(offsetof(TipRecord, szPicture) == 21, "TipRecord layout");
static_assert(offsetof(TipRecord, szText) == 1045, "TipRecord layout");
static_assert(offsetof(TipRecord, szLinkURL) == 1145, "TipRecord layout");
static_assert(offsetof(TipRecord, nButtonCount) == 2169, "TipRecord layout");
static_assert(offsetof(TipRecord, aButtons) == 2173, "TipRecord layout");
static_assert(offsetof(TipRecord, aButtons) + sizeof(TipButton) == 3237, "TipRecord layout");
static_assert(offsetof(TipRecord, aButtons) + 2 * sizeof(TipButton) == 4301, "TipRecord layout");
static_assert(offsetof(TipRecord, byShowFirst) == 5365, "TipRecord layout");
static_assert(offsetof(TipRecord, szTitle) == 5366, "TipRecord layout");
static_assert(offsetof(TipRecord, byVersion) == 5406, "TipRecord layout");
// The wire carries the numbers of a record in these same widths (words of
// four bytes, the style and show-first flags one byte), so neither the
// encoder nor the decoder narrows or widens one on either architecture.
static_assert(sizeof(TipRecord::nMessageID) == 4 && sizeof(TipRecord::nShowSeconds) == 4 &&
                  sizeof(TipRecord::tBeginTime) == 4 && sizeof(TipRecord::tEndTime) == 4 &&
                  sizeof(TipRecord::nButtonCount) == 4 && sizeof(TipRecord::byStyle) == 1 &&
                  sizeof(TipRecord::byShowFirst) == 1,
              "TipRecord wire widths");

// The only layout version the store accepts.
constexpr uint8_t kTipRecordVersion = 11;
constexpr int32_t kMaxTipButtons = 3;

// A record zero-filled in every byte. The store takes raw ownership of the
// released pointer and frees it with delete.
inline std::unique_ptr<TipRecord> NewTipRecord() {
    return std::unique_ptr<TipRecord>(new TipRecord());
}

// Text fields are NUL-terminated only when shorter than their buffer; these
// helpers never look past the field's last byte.
template <size_t N>
size_t FieldLength(const char (&field)[N]) {
    const void* nul = std::memchr(field, 0, N);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : N;
}

template <size_t N>
std::string FieldText(const char (&field)[N]) {
    return std::string(field, FieldLength(field));
}

template <size_t N>
bool FieldEmpty(const char (&field)[N]) {
    return field[0] == '\0';
}

// Writes text into a field, cut to leave room for the NUL, and zeroes the
// rest of the field.
template <size_t N>
void SetFieldText(char (&field)[N], std::string_view text) {
    const size_t n = text.size() < N - 1 ? text.size() : N - 1;
    if (n != 0) std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}
