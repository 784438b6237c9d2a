// A whole received packet into a new-tips response with a real store.
#include <cstring>
#include <stdexcept>

#include "fuzz_support.h"
#include "protocol/resp_new_mess.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    ConfinedStore store;
    CRespNewMess response(&store);
    try {
        response.Decode(data, uint32_t(std::min<size_t>(size, UINT32_MAX)));
    } catch (const std::exception& e) {
        Require(std::strcmp(e.what(), "error") == 0, "decoder fails only with its own exception");
    }
    if (response.GetResultCode() != 0) Require(response.GetPanelInterval() == 0, "failed answer sets no interval");
    DrainStore(store);
    return 0;
}
