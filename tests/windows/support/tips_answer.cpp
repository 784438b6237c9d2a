#include "support/tips_answer.h"

#include <windows.h>

#include "platform/platform.h"
#include "shared/wire_builders.h"
#include "store/display_file.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"
#include "support/host_folder.h"

TipRecord MakeTip(uint32_t id, const std::string& text, const std::string& pictureUrl) {
    TipRecord tip{};
    tip.nMessageID = id;
    tip.nShowSeconds = 10;
    tip.tBeginTime = platform::Now() - 3600;
    tip.tEndTime = platform::Now() + 86400;
    SetFieldText(tip.szText, text);
    SetFieldText(tip.szPicture, pictureUrl);
    tip.byVersion = kTipRecordVersion;
    return tip;
}

void SaveEarlierRun(const std::vector<uint32_t>& tips, const std::vector<uint32_t>& shown) {
    CreateDirectoryA(TipsFolder().c_str(), nullptr);
    CShowDataList store;
    for (uint32_t id : tips) store.AddOneShowData(new TipRecord(MakeTip(id, "stored tip")));
    for (uint32_t id : shown) store.AddDisplayData(new DisplayRecord{id, 0, 1, {}});
    ASSERT_TRUE(SaveTipFile(TipFile().c_str(), &store));
    ASSERT_TRUE(shown.empty() || SaveDisplayFile(HistoryFile().c_str(), &store));
}

static std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string NewTipsAnswer(int32_t status, uint32_t lastTime, const std::vector<TipRecord>& tips,
                          uint32_t panelInterval) {
    std::vector<const TipRecord*> records;
    for (const TipRecord& tip : tips) records.push_back(&tip);
    return Text(wire::Packet("RESPNEWMESS", wire::ResponseBody(lastTime, records, panelInterval, -2, status)));
}

std::string ErrorAnswer(int32_t code) { return Text(wire::Packet("RESPERROR", wire::Words({uint32_t(code)}))); }

bool ReadQuery(const std::string& packet, QueryFields* q) {
    // The body reader ignores bytes after the last field; a query has none.
    return packet.size() >= 28 && packet.compare(12, 16, std::string("\0\0\0\x0CQUERYNEWMESS", 16)) == 0 &&
           ParseQueryBody(reinterpret_cast<const uint8_t*>(packet.data()) + 28, packet.size() - 28, q) &&
           28 + 20 + q->userName.size() + q->pid.size() == packet.size();
}
