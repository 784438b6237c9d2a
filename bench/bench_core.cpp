// Prints what the portable core costs:
// - decoding a full 262144-byte new-tips response (100 records) into a store,
//   in records per second and MB/s, beside a plain memcpy of the same bytes;
// - AddOneShowData and GetOneShowData per tip.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "protocol/byte_order.h"
#include "protocol/packet_header.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tip_wire.h"
#include "store/show_data_list.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kPacketSize = 262144;  // the transport's receive buffer
constexpr int kRecords = 100;           // the most one response may carry

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A record of exactly `size` wire bytes: full text, link and title, two
// buttons whose addresses take up the rest.
TipRecord RecordOfSize(uint32_t id, size_t size, int32_t now) {
    TipRecord tip{};
    tip.nMessageID = id;
    tip.nShowSeconds = 20;
    tip.tBeginTime = now - 100;
    tip.tEndTime = now + 1000000;
    tip.byVersion = kTipRecordVersion;
    std::memset(tip.szText, 't', sizeof tip.szText);
    std::memset(tip.szLinkURL, 'l', sizeof tip.szLinkURL);
    std::memset(tip.szTitle, 'h', sizeof tip.szTitle);
    tip.nButtonCount = 2;
    for (TipButton& b : tip.aButtons) {
        std::memset(b.szCaption, 'c', sizeof b.szCaption);
        SetFieldText(b.szAction, "DOWNLOAD");
    }
    const size_t base = 21 + 4 + (4 + 100) + (4 + 1024) + 4 + 2 * (4 + 20 + 4 + 8 + 4) + 1 + (4 + 40);
    const size_t rest = size - base;
    SetFieldText(tip.aButtons[0].szURL, std::string(rest / 2, 'u'));
    SetFieldText(tip.aButtons[1].szURL, std::string(rest - rest / 2, 'v'));
    std::memset(tip.aButtons[2].szCaption, 0, sizeof tip.aButtons[2].szCaption);
    std::memset(tip.aButtons[2].szAction, 0, sizeof tip.aButtons[2].szAction);
    return tip;
}

std::vector<uint8_t> FullResponse(int32_t now) {
    const std::string name = "RESPNEWMESS";
    const size_t bodySize = kPacketSize - 16 - name.size();
    const size_t recordBytes = bodySize - 12 - 4;
    std::vector<uint8_t> packet;
    ByteWriter w(packet);
    AppendPacketHeader(w, 1, name, uint32_t(bodySize));
    w.PutU32(0);
    w.PutU32(1);
    w.PutU32(kRecords);
    for (int i = 0; i < kRecords; ++i) {
        const size_t size = recordBytes / kRecords + (size_t(i) < recordBytes % kRecords ? 1 : 0);
        AppendTipRecordWire(w, RecordOfSize(uint32_t(i + 1), size, now));
    }
    w.PutU32(30);
    return packet;
}

void BenchDecode() {
    const int32_t now = platform::Now();
    const std::vector<uint8_t> packet = FullResponse(now);
    if (packet.size() != kPacketSize) {
        std::fprintf(stderr, "packet is %zu bytes, not %zu\n", packet.size(), kPacketSize);
        return;
    }

    const int rounds = 2000;
    Clock::duration decoding{};
    for (int r = 0; r < rounds; ++r) {
        auto store = std::make_unique<CShowDataList>();
        CRespNewMess response(store.get());
        const auto start = Clock::now();
        response.Decode(packet.data(), uint32_t(packet.size()));
        decoding += Clock::now() - start;
        if (store->GetShowDataCount() != kRecords || response.GetPanelInterval() != 30) {
            std::fprintf(stderr, "decode went wrong\n");
            return;
        }
    }

    // Called through a volatile pointer so that no copy can be left out.
    void* (*volatile copyBytes)(void*, const void*, size_t) = std::memcpy;
    std::vector<uint8_t> copy(packet.size());
    const int copies = 20000;
    const auto copyStart = Clock::now();
    for (int r = 0; r < copies; ++r) copyBytes(copy.data(), packet.data(), packet.size());
    const double copySeconds = Seconds(Clock::now() - copyStart) / copies;

    const double perResponse = Seconds(decoding) / rounds;
    const double mb = double(kPacketSize) / (1024.0 * 1024.0);
    std::printf("decode full response (%zu bytes, %d records, store hand-off included)\n", kPacketSize, kRecords);
    std::printf("  %10.1f us per response\n", perResponse * 1e6);
    std::printf("  %10.0f records/s\n", kRecords / perResponse);
    std::printf("  %10.1f MB/s   (memcpy of the same bytes: %.1f MB/s, %.2f us)\n", mb / perResponse,
                mb / copySeconds, copySeconds * 1e6);
}

void BenchStore(int tips) {
    const int32_t now = platform::Now();
    std::vector<TipRecord*> made;
    made.reserve(size_t(tips));
    for (int i = 0; i < tips; ++i) {
        TipRecord* tip = NewTipRecord().release();
        tip->nMessageID = uint32_t(i + 1);
        tip->tBeginTime = now - 100;
        tip->tEndTime = now + 1000000;
        tip->byVersion = kTipRecordVersion;
        tip->byShowFirst = i % 10 == 0 ? 1 : 0;
        SetFieldText(tip->szText, "benchmark tip");
        made.push_back(tip);
    }

    CShowDataList store;
    const auto addStart = Clock::now();
    for (TipRecord* tip : made) store.AddOneShowData(tip);
    const double addSeconds = Seconds(Clock::now() - addStart);

    std::vector<TipRecord*> handed;
    handed.reserve(size_t(tips));
    const auto getStart = Clock::now();
    while (TipRecord* tip = store.GetOneShowData(1)) handed.push_back(tip);
    const double getSeconds = Seconds(Clock::now() - getStart);
    for (TipRecord* tip : handed) delete tip;
    if (int(handed.size()) != tips) {
        std::fprintf(stderr, "store handed out %zu of %d tips\n", handed.size(), tips);
        return;
    }
    std::printf("store with %6d tips: AddOneShowData %7.0f ns/tip, GetOneShowData %7.0f ns/tip\n", tips,
                addSeconds / tips * 1e9, getSeconds / tips * 1e9);
}

}  // namespace

int main() {
    BenchDecode();
    for (int tips : {100, 10000, 100000}) BenchStore(tips);
    return 0;
}
