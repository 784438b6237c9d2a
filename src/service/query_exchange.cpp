#include "service/query_exchange.h"

#include <stdexcept>
#include <vector>

#include "platform/platform.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "protocol/tcp_socket_win.h"
#include "service/exchange_failure.h"
#include "service/settings.h"
#include "service/worker_stop.h"

namespace {

constexpr int32_t kMinPanelInterval = 1;
constexpr int32_t kMaxPanelInterval = 720;

constexpr char kConnectStep[] = "DataService connect server";
constexpr char kSendStep[] = "DataService send query data";
constexpr char kRecvStep[] = "DataService recv data";

[[noreturn]] void Fail() { throw std::runtime_error("error"); }

// Says why the step failed, then fails the exchange.
[[noreturn]] void FailWith(const char* step, const std::string& reason) {
    LogStepFailure(step, reason);
    Fail();
}

// The running service keeps the values it read at start; this reaches it at
// the next start.
void WriteBackInterval(const std::string& settingsFile, const CRespNewMess& response) {
    if (response.GetResultCode() != 0) return;
    const auto interval = static_cast<int32_t>(response.GetPanelInterval());
    if (interval >= kMinPanelInterval && interval <= kMaxPanelInterval) {
        if (!WriteSettingInt(settingsFile.c_str(), "NEXTPANEL", "INTERVAL", interval))
            LogStepFailure("DataService write settings", "file write failed: " + settingsFile);
    }
}

// The received bytes decode without complaint even when they hold no
// answer: the line after the decoder says so.
void LogWhatArrived(uint32_t received, int failure, const CRespNewMess& response) {
    if (failure != 0) LogStepFailure(kRecvStep, SocketFailureReason(failure) + " after " + std::to_string(received) + " bytes");
    if (received == 0)
        LogStepFailure(kRecvStep, "answer empty");
    else if (response.GetResultCode() == -1)
        LogStepFailure(kRecvStep, "not a tips answer");
}

}  // namespace

ExchangeOutcome RunQueryExchange(const ExchangeTarget& target, const QueryIdentity& identity, CShowDataList* store,
                                 CWorkerStop* stop) {
    try {
        if (store == nullptr) Fail();
        if (stop != nullptr && stop->Requested()) FailWith(kConnectStep, "stopped");
        CQueryNewMess query;
        CRespNewMess response(store);
        std::vector<uint8_t> buffer(kExchangeBufferSize);
        query.SetLastTime(static_cast<uint32_t>(target.lastTime), 0);
        query.SetQueryParameter(identity.userName, identity.pid, identity.messageId);

        CTcpSocket socket(stop != nullptr ? stop->Event() : nullptr);
        platform::DebugLine("DataService connect server begin");
        if (socket.Connect(target.serverHost.c_str(), target.serverPort) != 0)
            FailWith(kConnectStep, SocketFailureReason(WSAGetLastError()));
        platform::DebugLine("DataService connect server success");
        if (SendCommand(socket, query, buffer.data(), kExchangeBufferSize) == 0)
            FailWith(kSendStep, query.GetPacketLength() > kExchangeBufferSize ? "query larger than its buffer"
                                                                               : SocketFailureReason(WSAGetLastError()));
        platform::DebugLine("DataService send query data success");
        int failure = 0;
        const uint32_t received = ReceiveAll(socket, buffer.data(), kExchangeBufferSize, &failure);
        // What arrived before a stop is not an answer.
        if (stop != nullptr && stop->Requested()) FailWith(kRecvStep, "stopped");

        // Decoding fills the store: not once the stop has given up on us.
        CGateHold gate(stop);
        if (!gate.held()) FailWith(kRecvStep, "stopped");
        try {
            response.Decode(buffer.data(), received);
        } catch (...) {
            FailWith(kRecvStep, "refused by the decoder");
        }
        platform::DebugLine("DataService recv data success");
        LogWhatArrived(received, failure, response);
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
