// message.dat from untrusted bytes: load, save what was accepted, and check
// that the saved file is always one the loader takes whole.
#include <string>

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

    // Nothing was handed out yet, so every known id still holds its tip.
    const int32_t held = store.GetShowDataCount();
    CShowDataList reloaded;
    ConfineStore(reloaded);
    const int handed = LoadTipFile(saved.c_str(), &reloaded);
    Require(handed == (held > 99 ? 99 : held), "saved tips load again");

    DrainStore(store);
    DrainStore(reloaded);
    return 0;
}
