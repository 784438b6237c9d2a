// message.dat from untrusted bytes: load, save what was accepted, and check
// that the saved file is always one the loader takes whole.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "store/show_data_list.h"
#include "store/tip_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    static const std::string input = ScratchPath("message.dat");
    static const std::string saved = ScratchPath("message_saved.dat");
    if (!WriteWhole(input, data, size)) return 0;

    CShowDataList store;
    ConfineStore(store);
    LoadTipFile(input.c_str(), &store);
    Require(SaveTipFile(saved.c_str(), &store), "save succeeds");

    // The save keeps the tips that can still be shown, at most 99, and the
    // loader takes every one of them back.
    int32_t showable = store.GetShowDataCount();
    std::vector<TipRecord> tips(size_t(showable > 0 ? showable : 0));
    store.GetShowableData(tips.data(), showable);
    CShowDataList reloaded;
    ConfineStore(reloaded);
    const int handed = LoadTipFile(saved.c_str(), &reloaded);
    Require(handed == (showable > 99 ? 99 : showable), "saved tips load again");

    DrainStore(store);
    DrainStore(reloaded);
    return 0;
}
