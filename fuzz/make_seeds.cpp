// Writes the fuzz targets' seed corpus: small, valid inputs that reach deep
// into each decoder, from which the fuzzer mutates.
//   fuzz_seeds <corpus folder>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "protocol/byte_order.h"
#include "protocol/packet_header.h"
#include "protocol/tip_record.h"
#include "protocol/tip_wire.h"
#include "store/data_file_header.h"
#include "store/display_record.h"

namespace {

constexpr int32_t kNow = 1700000000;  // the fuzz targets' clock

std::string g_root;

bool Write(const std::string& target, const std::string& name, const std::vector<uint8_t>& bytes) {
    const std::string dir = g_root + "/" + target;
    mkdir(g_root.c_str(), 0755);
    mkdir(dir.c_str(), 0755);
    std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb");
    if (f == nullptr) return false;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    return std::fclose(f) == 0;
}

TipRecord Tip(uint32_t id, const char* picture, int buttons, uint8_t showFirst) {
    TipRecord tip{};
    tip.nMessageID = id;
    tip.byStyle = uint8_t(id * 10);
    tip.nShowSeconds = 15;
    tip.tBeginTime = kNow - 60;
    tip.tEndTime = kNow + 3600;
    tip.bPicReady = picture[0] == '\0' ? 1 : 0;
    SetFieldText(tip.szPicture, picture);
    SetFieldText(tip.szText, "A short tip");
    SetFieldText(tip.szLinkURL, "http://tips.example/link");
    tip.nButtonCount = buttons;
    for (int k = 0; k < buttons; ++k) {
        SetFieldText(tip.aButtons[k].szCaption, k == 0 ? "Get it" : "More");
        SetFieldText(tip.aButtons[k].szAction, k == 0 ? "DOWNLOAD" : "OPENURL");
        SetFieldText(tip.aButtons[k].szURL, "http://tips.example/file");
    }
    tip.byShowFirst = showFirst;
    SetFieldText(tip.szTitle, "Heading");
    tip.byVersion = kTipRecordVersion;
    return tip;
}

std::vector<uint8_t> Packet(const char* name, const std::vector<uint8_t>& body) {
    std::vector<uint8_t> out;
    ByteWriter w(out);
    AppendPacketHeader(w, 1, name, uint32_t(body.size()));
    w.PutBytes(body.data(), body.size());
    return out;
}

std::vector<uint8_t> Response(const std::vector<TipRecord>& tips, uint32_t extraBytesInFirst) {
    std::vector<uint8_t> body;
    ByteWriter w(body);
    w.PutU32(0);
    w.PutU32(12345);
    w.PutU32(uint32_t(tips.size()));
    for (size_t i = 0; i < tips.size(); ++i) {
        const size_t at = w.Size();
        AppendTipRecordWire(w, tips[i]);
        if (i == 0 && extraBytesInFirst != 0) {
            w.PatchU32(at, LoadBigEndian32(body.data() + at) + extraBytesInFirst);
            for (uint32_t k = 0; k < extraBytesInFirst; ++k) w.PutU8(0x5A);
        }
    }
    w.PutU32(30);
    return Packet("RESPNEWMESS", body);
}

template <typename Record>
std::vector<uint8_t> DataFile(int32_t version, uint32_t stride, const std::vector<Record>& records) {
    DataFileHeader header{version, int32_t(records.size()), stride, 0, 0};
    std::vector<uint8_t> out(sizeof header);
    std::memcpy(out.data(), &header, sizeof header);
    for (size_t i = 0; i < records.size(); ++i) {
        out.resize(sizeof header + i * stride);
        const auto* raw = reinterpret_cast<const uint8_t*>(&records[i]);
        out.insert(out.end(), raw, raw + sizeof(Record));
    }
    return out;
}

std::vector<uint8_t> Query(const std::string& user, const std::string& pid, uint32_t lastTime, uint32_t messageId) {
    std::vector<uint8_t> body;
    ByteWriter w(body);
    w.PutU32(uint32_t(user.size()));
    w.PutBytes(reinterpret_cast<const uint8_t*>(user.data()), user.size());
    w.PutU32(uint32_t(pid.size()));
    w.PutBytes(reinterpret_cast<const uint8_t*>(pid.data()), pid.size());
    w.PutU32(0);
    w.PutU32(lastTime);
    w.PutU32(messageId);
    return Packet("QUERYNEWMESS", body);
}

DisplayRecord Entry(uint32_t id, int32_t end, const char* picture) {
    DisplayRecord record{};
    record.nMessageID = id;
    record.tEndTime = end;
    record.bPicReady = 1;
    SetFieldText(record.szPicture, picture);
    return record;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    g_root = argv[1];
    const std::vector<TipRecord> tips = {Tip(1, "", 0, 0), Tip(2, "http://tips.example/2.gif", 3, 1),
                                         Tip(3, "", 1, 2)};
    bool ok = true;
    ok &= Write("fuzz_response", "three_tips", Response(tips, 0));
    ok &= Write("fuzz_response", "newer_fields", Response({tips[0], tips[2]}, 8));
    ok &= Write("fuzz_response", "no_tips", Packet("RESPNEWMESS", {0, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 30}));
    ok &= Write("fuzz_response", "error_packet", Packet("RESPERROR", {0, 0, 0, 7}));
    ok &= Write("fuzz_response", "query", Packet("QUERYNEWMESS", {0, 0, 0, 3, 'a', 'b', 'c', 0, 0, 0, 0, 0, 0, 0,
                                                                 0, 0, 0, 0, 0, 0, 0, 0, 7}));

    std::vector<TipRecord> stored = tips;
    stored[1].bPicReady = 1;
    SetFieldText(stored[1].szPicture, "/nonexistent-tiprelay-fuzz/tips/2.gif");
    ok &= Write("fuzz_tip_file", "three_tips", DataFile(11, sizeof(TipRecord), stored));
    ok &= Write("fuzz_tip_file", "waiting_for_picture", DataFile(11, sizeof(TipRecord), std::vector<TipRecord>{tips[1]}));
    ok &= Write("fuzz_tip_file", "wide_stride", DataFile(11, sizeof(TipRecord) + 16, std::vector<TipRecord>{tips[0], tips[2]}));
    ok &= Write("fuzz_tip_file", "header_only", DataFile(11, sizeof(TipRecord), std::vector<TipRecord>{}));

    const std::vector<DisplayRecord> entries = {Entry(1, 0, "/nonexistent-tiprelay-fuzz/tips/1.gif"),
                                                Entry(2, kNow + 100, ""), Entry(2, kNow + 100, "dup.gif"),
                                                Entry(3, kNow - 1, "/nonexistent-tiprelay-fuzz/tips/3.gif")};
    ok &= Write("fuzz_display_file", "four_entries", DataFile(11, sizeof(DisplayRecord), entries));
    ok &= Write("fuzz_display_file", "wide_stride", DataFile(50, sizeof(DisplayRecord) + 4, entries));

    ok &= Write("fuzz_query", "first_query", Query("user\x01\"name", "STD", 0, 0));
    ok &= Write("fuzz_query", "pro_edition_later", Query("pro user", "PRO", 1695500000, 0));
    ok &= Write("fuzz_query", "one_message", Query("", "", 0, 4294967295u));
    std::vector<uint8_t> twoPackets = Query("a", "STD", 0, 0);
    const std::vector<uint8_t> second = Query("b", "PRO", 0, 2);
    twoPackets.insert(twoPackets.end(), second.begin(), second.end());
    ok &= Write("fuzz_query", "two_packets", twoPackets);
    return ok ? 0 : 1;
}
