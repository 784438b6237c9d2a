// message.dat from untrusted bytes: load, save what was accepted (the tips
// that can still be shown, at most 99) and check the loader takes it whole.
#include <vector>

#include "fuzz_support.h"
#include "store/tip_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    ConfinedStore store, reloaded;
    const int handed = LoadSaveLoad(data, size, LoadTipFile, SaveTipFile, store, reloaded);
    int32_t showable = store.GetShowDataCount();
    std::vector<TipRecord> tips(size_t(std::max(showable, 0)));
    store.GetShowableData(tips.data(), showable);
    Require(handed == std::min(showable, 99), "saved tips load again");
    DrainStore(store);
    DrainStore(reloaded);
    return 0;
}
