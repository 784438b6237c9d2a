// message.dat from untrusted bytes: load, save what was accepted, and check
// that the saved file is always one the loader takes whole.
#include <vector>

#include "fuzz_support.h"
#include "store/tip_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    ConfinedStore store, reloaded;
    const int handed = LoadSaveLoad(data, size, LoadTipFile, SaveTipFile, store, reloaded);
    // The save keeps the tips that can still be shown, at most 99, and the
    // loader takes every one of them back.
    int32_t showable = store.GetShowDataCount();
    std::vector<TipRecord> tips(size_t(std::max(showable, 0)));
    store.GetShowableData(tips.data(), showable);
    Require(handed == std::min(showable, 99), "saved tips load again");
    DrainStore(store);
    DrainStore(reloaded);
    return 0;
}
