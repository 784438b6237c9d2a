// tipserver query HOST:PORT: sends one query as a client would and prints
// what the client's own decoder makes of the answer.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include "command_line.h"
#include "host_port.h"
#include "net.h"
#include "platform/platform.h"
#include "protocol/byte_order.h"
#include "protocol/query_new_mess.h"
#include "protocol/resp_new_mess.h"
#include "store/show_data_list.h"
#include "text_encoding.h"
#include "time_value.h"

namespace tipserver {
namespace {

// Clients read at most this much of an answer.
constexpr size_t kExchangeBytes = 262144;
constexpr auto kExchangeTimeout = std::chrono::seconds(15);

std::vector<std::string>* g_decoder_lines = nullptr;
void CollectLine(const char* text) {
    if (g_decoder_lines != nullptr) g_decoder_lines->push_back(text);
}

// One exchange: connect, send, read until the server closes. False with the
// reason on failure or timeout.
bool Exchange(const HostPort& server, const std::vector<uint8_t>& query, std::vector<uint8_t>& answer,
              std::string& error) {
    asio::io_context io(1);
    asio::ip::tcp::resolver resolver(io);
    asio::ip::tcp::socket socket(io);
    answer.assign(kExchangeBytes, 0);
    size_t received = 0;
    bool done = false;
    std::function<void()> read_more = [&] {
        socket.async_read_some(asio::buffer(answer.data() + received, answer.size() - received),
                               [&](const error_code& ec, size_t n) {
                                   received += n;
                                   // Like a client: stop at the close or when the buffer is full.
                                   if (ec || received == answer.size()) {
                                       done = true;
                                       return;
                                   }
                                   read_more();
                               });
    };
    resolver.async_resolve(server.host, std::to_string(server.port), [&](const error_code& ec, auto results) {
        if (ec) {
            error = "cannot resolve " + server.host + ": " + ec.message();
            return;
        }
        asio::async_connect(socket, results, [&](const error_code& ec2, const auto&) {
            if (ec2) {
                error = "cannot connect to " + server.ToString() + ": " + ec2.message();
                return;
            }
            asio::async_write(socket, asio::buffer(query), [&](const error_code& ec3, size_t) {
                if (ec3) {
                    error = "sending failed: " + ec3.message();
                    return;
                }
                read_more();
            });
        });
    });
    io.run_for(kExchangeTimeout);
    answer.resize(received);
    if (!error.empty()) return false;
    if (!done) {
        error = "no answer within " + std::to_string(kExchangeTimeout.count()) + " s";
        return false;
    }
    return true;
}

// The record count the server put into a "RESPNEWMESS" answer, or -1.
long long RecordsSent(const std::vector<uint8_t>& packet) {
    ByteReader in(packet.data(), packet.size());
    uint32_t name_length = 0, count = 0;
    if (!in.Skip(12) || !in.ReadU32(name_length) || !in.Skip(name_length) || !in.Skip(8) || !in.ReadU32(count))
        return -1;
    return static_cast<int32_t>(count);
}

class TipPrinter {
  public:
    explicit TipPrinter(const std::string& encoding) : decoder_(encoding, true) {}

    template <size_t N>
    std::string Text(const char (&field)[N]) {
        std::string utf8, error;
        const std::string bytes = FieldText(field);
        if (!decoder_.Convert(bytes, utf8, error)) return bytes + "  (" + error + ")";
        return utf8;
    }

    void Print(const TipRecord& tip) {
        std::printf("tip %u: style %u, shown %d s, %s .. %s%s\n", tip.nMessageID, tip.byStyle, tip.nShowSeconds,
                    FormatIsoTime(tip.tBeginTime).c_str(), FormatIsoTime(tip.tEndTime).c_str(),
                    tip.byShowFirst == 1 ? ", show first" : "");
        Line("title", Text(tip.szTitle));
        Line("text", Text(tip.szText));
        Line("picture", Text(tip.szPicture));
        Line("link", Text(tip.szLinkURL));
        for (int32_t k = 0; k < tip.nButtonCount && k < kMaxTipButtons; ++k) {
            const TipButton& b = tip.aButtons[k];
            std::printf("  button %d: \"%s\" %s %s\n", k + 1, Text(b.szCaption).c_str(), Text(b.szAction).c_str(),
                        Text(b.szURL).c_str());
        }
    }

  private:
    static void Line(const char* label, const std::string& value) {
        if (!value.empty()) std::printf("  %s: %s\n", label, value.c_str());
    }

    TextEncoder decoder_;
};

// Every tip the decoder handed to the store, in id order.
std::vector<std::unique_ptr<TipRecord>> TakeTips(CShowDataList& store) {
    std::vector<std::unique_ptr<TipRecord>> tips;
    while (TipRecord* waiting = store.GetWaitPicData()) tips.emplace_back(waiting);
    int32_t count = store.GetShowDataCount();
    std::vector<TipRecord> queued(static_cast<size_t>(std::max(count, 0)));
    store.GetAllShowData(queued.data(), count);
    for (int32_t i = 0; i < count; ++i) tips.push_back(std::make_unique<TipRecord>(queued[i]));
    std::sort(tips.begin(), tips.end(), [](const auto& a, const auto& b) { return a->nMessageID < b->nMessageID; });
    return tips;
}

}  // namespace

int RunQuery(int argc, char** argv) {
    CommandLine args;
    std::string error;
    if (!ParseCommandLine(argc, argv, 2, {"user", "pid", "last-time", "message-id", "encoding"}, args, error) ||
        args.positional.size() != 1) {
        std::fprintf(stderr, "tipserver query: %s\n", error.empty() ? "give the server as HOST:PORT" : error.c_str());
        return 1;
    }
    const auto server = ParseHostPort(args.positional[0]);
    unsigned long long last_time = 0, message_id = 0;
    if (!server || !ParseNumber(args.Get("last-time", "0"), 0xFFFFFFFFull, last_time) ||
        !ParseNumber(args.Get("message-id", "0"), 0xFFFFFFFFull, message_id)) {
        std::fputs("tipserver query: HOST:PORT, and --last-time and --message-id from 0 to 4294967295\n", stderr);
        return 1;
    }

    CQueryNewMess query;
    query.SetLastTime(static_cast<uint32_t>(last_time), 0);
    query.SetQueryParameter(args.Get("user", ""), args.Get("pid", ""), static_cast<uint32_t>(message_id));
    std::vector<uint8_t> packet(kExchangeBytes);
    uint32_t length = static_cast<uint32_t>(packet.size());
    query.Encode(packet.data(), length);
    if (length != query.GetPacketLength()) {
        std::fputs("tipserver query: the user name and PID are too long for one query\n", stderr);
        return 1;
    }
    packet.resize(length);

    std::vector<uint8_t> answer;
    if (!Exchange(*server, packet, answer, error)) {
        std::fprintf(stderr, "tipserver query: %s\n", error.c_str());
        return 3;
    }

    std::vector<std::string> lines;
    g_decoder_lines = &lines;
    platform::SetLineSinkForTest(CollectLine);
    CShowDataList store;
    CRespNewMess response(&store);
    bool decoded = true;
    try {
        response.Decode(answer.data(), static_cast<uint32_t>(answer.size()));
    } catch (const std::exception&) {
        decoded = false;
    }
    platform::SetLineSinkForTest(nullptr);
    g_decoder_lines = nullptr;

    // A tips answer names a "RESP..." command after its four header words:
    // anything else is another kind of server (the picture port answers in HTTP).
    if (answer.size() < 20 || std::memcmp(answer.data() + 16, "RESP", 4) != 0) {
        const bool http = answer.size() >= 5 && std::memcmp(answer.data(), "HTTP/", 5) == 0;
        std::printf("not a tips server%s\n", http             ? ": it answers in HTTP (the picture port?)"
                                             : answer.empty() ? ": it closed without a byte"
                                                              : "");
        return 2;
    }
    std::printf("answer: %zu bytes%s\n", answer.size(),
                answer.size() == kExchangeBytes ? " (a client reads no more; anything after is lost)" : "");
    std::printf("status: %d\n", response.GetResultCode());
    if (!decoded || response.GetResultCode() != 0) {
        std::string why;
        for (const std::string& line : lines) {
            if (line.rfind("error", 0) == 0) why += " " + line;
        }
        std::printf("a client refuses this answer%s%s\n", why.empty() ? "" : ": decoder says", why.c_str());
        return 2;
    }
    std::printf("last-time: %u (%s)\n", response.GetLastTime(), FormatIsoTime(response.GetLastTime()).c_str());
    std::printf("panel interval: %u minutes\n", response.GetPanelInterval());
    const auto tips = TakeTips(store);
    const long long sent = RecordsSent(answer);
    std::printf("records: %lld sent, %zu kept by a client's store\n", sent, tips.size());
    if (sent > static_cast<long long>(tips.size()))
        std::printf(
            "(a client keeps a tip only while its window holds now, %s, and only once per id; "
            "--message-id fetches a tip whatever its window)\n",
            FormatIsoTime(std::time(nullptr)).c_str());
    TipPrinter printer(args.Get("encoding", "CP936"));
    for (const auto& tip : tips) printer.Print(*tip);
    return 0;
}

}  // namespace tipserver
