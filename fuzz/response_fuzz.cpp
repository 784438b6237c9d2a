// A whole received packet into a new-tips response with a real store.
#include <cstring>
#include <stdexcept>

#include "fuzz_support.h"
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
    return 0;
}
