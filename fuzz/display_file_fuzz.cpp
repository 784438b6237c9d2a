// messdisplay.dat from untrusted bytes: load, save the history, and check
// that the saved file is always one the loader takes whole.
#include "fuzz_support.h"
#include "store/display_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    ConfinedStore store, reloaded;
    const int offered = LoadSaveLoad(data, size, LoadDisplayFile, SaveDisplayFile, store, reloaded);
    Require(offered == store.GetDisplayDataCount() && reloaded.GetDisplayDataCount() == offered,
            "the saved history loads again whole");
    DrainStore(store);
    return 0;
}
