#include "service/query_exchange.h"

#include <stdexcept>
#include <vector>

#include "platform/platform.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tcp_socket_win.h"
#include "service/settings.h"
#include "service/worker_stop.h"

namespace {

constexpr int32_t kMinPanelInterval = 1;
constexpr int32_t kMaxPanelInterval = 720;

[[noreturn]] void Fail() { throw std::runtime_error("error"); }

// The running service keeps the values it read at start; this reaches it at
// the next start.
void WriteBackInterval(const std::string& settingsFile, const CRespNewMess& response) {
    if (response.GetResultCode() != 0) return;
    const auto interval = static_cast<int32_t>(response.GetPanelInterval());
    if (interval >= kMinPanelInterval && interval <= kMaxPanelInterval) {
        WriteSettingInt(settingsFile.c_str(), "NEXTPANEL", "INTERVAL", interval);
    }
}

}  // namespace

ExchangeOutcome RunQueryExchange(const ExchangeTarget& target, const QueryIdentity& identity, CShowDataList* store,
                                 CWorkerStop* stop) {
    try {
        if (store == nullptr || (stop != nullptr && stop->Requested())) Fail();
        CQueryNewMess query;
        CRespNewMess response(store);
        std::vector<uint8_t> buffer(kExchangeBufferSize);
        query.SetLastTime(static_cast<uint32_t>(target.lastTime), 0);
        query.SetQueryParameter(identity.userName, identity.pid, identity.messageId);

        CTcpSocket socket(stop != nullptr ? stop->Event() : nullptr);
        platform::DebugLine("DataService connect server begin");
        if (socket.Connect(target.serverHost.c_str(), target.serverPort) != 0) Fail();
        platform::DebugLine("DataService connect server success");
        if (SendCommand(socket, query, buffer.data(), kExchangeBufferSize) == 0) Fail();
        platform::DebugLine("DataService send query data success");
        const uint32_t received = ReceiveAll(socket, buffer.data(), kExchangeBufferSize);
        // What arrived before a stop is not an answer.
        if (stop != nullptr && stop->Requested()) Fail();

        // Decoding fills the store: not once the stop has given up on us.
        CGateHold gate(stop);
        if (!gate.held()) Fail();
        response.Decode(buffer.data(), received);
        platform::DebugLine("DataService recv data success");
        WriteBackInterval(target.settingsFile, response);
        ExchangeOutcome outcome;
        outcome.completed = true;
        outcome.lastTimeDue = response.GetResultCode() == 0;
        outcome.lastTime = static_cast<int32_t>(response.GetLastTime());
        return outcome;
    } catch (...) {
        return ExchangeOutcome{};
    }
}
