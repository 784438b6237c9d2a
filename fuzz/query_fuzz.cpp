// The tips server's side of a query from untrusted bytes: the framing, the
// packet read once complete, the answer planned and encoded, and that answer
// decoded again by the client's own decoder.
#include <array>
#include <string>
#include <vector>

#include "answer.h"
#include "catalogue.h"
#include "fuzz_support.h"
#include "log_sink.h"
#include "protocol/byte_order.h"
#include "protocol/resp_new_mess.h"
#include "query_frame.h"

namespace {

// Tips of every kind the planner tells apart: editions, windows, stamps,
// show-first, pictures and texts in the client code page.
constexpr char kCatalogue[] = R"({"panel_interval_minutes": 45, "tips": [
  {"id": 1, "show_seconds": 15, "begin": 1690000000, "end": 1800000000, "updated": 1695000000,
   "picture": "http://pictures.test/1.gif", "title": "One", "text": "\u6b22\u8fce a tip",
   "buttons": [{"caption": "Get", "action": "DOWNLOAD", "url": "http://files.test/1.zip"}]},
  {"id": 2, "show_first": true, "begin": 1690000000, "end": 1800000000, "updated": 1696000000, "text": "First"},
  {"id": 3, "begin": 1690000000, "end": 1800000000, "updated": 1696000000, "pids": ["PRO", "STD"],
   "text": "For two editions", "link": "http://tips.test/3"},
  {"id": 4, "begin": 1690000000, "end": 1699999999, "text": "Closed before now"},
  {"id": 5, "begin": 1700000001, "end": 1800000000, "text": "Opens after now"},
  {"id": 4294967295, "begin": 1690000000, "end": 1800000000, "updated": 1699999999, "pids": ["PRO"],
   "picture": "http://pictures.test/last.jpg"}]})";

// The result code, last-time value and panel interval the client reads.
std::array<uint32_t, 3> DecodeAsClient(const std::vector<uint8_t>& answer) {
    ConfinedStore store;
    CRespNewMess response(&store);
    response.Decode(answer.data(), uint32_t(answer.size()));  // every answer decodes: a throw ends the run
    DrainStore(store);
    return {uint32_t(response.GetResultCode()), response.GetLastTime(), response.GetPanelInterval()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    static const std::shared_ptr<const tipserver::Catalogue> catalogue = [] {
        tipserver::CatalogueOptions options;
        options.now = kFuzzNow;
        return tipserver::ParseCatalogue(kCatalogue, "/nonexistent-tiprelay-fuzz", options).catalogue;
    }();
    Require(catalogue != nullptr, "the fuzz catalogue loads");
    const tipserver::FrameStatus frame = tipserver::CheckQueryFrame(data, size);
    const size_t total = frame.state == tipserver::FrameState::kComplete ? frame.total : 0;
    Require(total <= size && total <= tipserver::kMaxQueryBytes,
            "a complete frame lies within the bytes and the limit");
    const uint32_t sequence = size >= 8 ? LoadBigEndian32(data + 4) : 0;
    std::vector<uint8_t> answer;
    QueryFields query;
    if (total == 0 || !tipserver::ReadQueryPacket(data, total, query)) {
        tipserver::EncodeErrorAnswer(tipserver::kUnreadableQueryCode, sequence, answer);
        Require(DecodeAsClient(answer)[0] == tipserver::kUnreadableQueryCode, "the client reads the error code");
        return 0;
    }
    Require(query.userName.size() + query.pid.size() + 48 <= total, "query fields lie inside the packet");
    const std::string logged = tipserver::EscapeForLog(query.userName);
    Require(logged.size() <= 4 * 64 + 3, "a logged name is cut");
    for (const char c : logged) Require(c >= 0x20 && c < 0x7F && c != '"', "a logged name is one plain line");

    const tipserver::AnswerRequest request{query.pid, query.lastTime, query.messageId};
    const tipserver::AnswerPlan plan = tipserver::PlanAnswer(*catalogue, request, kFuzzNow);
    Require(plan.tips.size() <= tipserver::kMaxAnswerTips, "answer within the tip budget");
    Require(request.message_id != 0 || plan.last_time >= request.last_time, "the last-time value never goes back");
    tipserver::EncodeAnswer(*catalogue, plan, sequence, answer);
    Require(answer.size() <= tipserver::kMaxAnswerBytes, "answer within the client's buffer");
    Require(DecodeAsClient(answer) == std::array<uint32_t, 3>{0, plan.last_time, catalogue->panel_interval_minutes},
            "the client reads success, the planned last-time value and the panel interval");
    return 0;
}
