// A whole received packet into a new-tips response with a real store; the
// server's query body reader on the same bytes.
#include <cstring>
#include <stdexcept>

#include "fuzz_support.h"
#include "protocol/query_body.h"
#include "protocol/resp_new_mess.h"
#include "store/show_data_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    const uint32_t length = size > UINT32_MAX ? UINT32_MAX : uint32_t(size);

    ConfinedStore store;
    CRespNewMess response(&store);
    try {
        response.Decode(data, length);
    } catch (const std::exception& e) {
        Require(std::strcmp(e.what(), "error") == 0, "decoder fails only with its own exception");
    }
    if (response.GetResultCode() != 0) Require(response.GetPanelInterval() == 0, "failed answer sets no interval");
    DrainStore(store);

    QueryFields fields;
    if (ParseQueryBody(data, size, &fields)) {
        Require(fields.userName.size() + fields.pid.size() + 20 <= size, "query fields lie inside the body");
    }
    return 0;
}
