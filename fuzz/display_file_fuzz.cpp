// messdisplay.dat from untrusted bytes: load, save the history, and check
// that the saved file is always one the loader takes whole.
#include <string>

#include "fuzz_support.h"
#include "store/display_file.h"
#include "store/show_data_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzSetUp();
    static const std::string input = ScratchPath("messdisplay.dat");
    static const std::string saved = ScratchPath("messdisplay_saved.dat");
    if (!WriteWhole(input, data, size)) return 0;

    CShowDataList store;
    ConfineStore(store);
    LoadDisplayFile(input.c_str(), &store);
    Require(SaveDisplayFile(saved.c_str(), &store), "save succeeds");

    const int32_t entries = store.GetDisplayDataCount();
    CShowDataList reloaded;
    ConfineStore(reloaded);
    const int offered = LoadDisplayFile(saved.c_str(), &reloaded);
    Require(offered == entries, "saved history loads again");
    Require(reloaded.GetDisplayDataCount() == entries, "no saved entry is refused");
    DrainStore(store);
    return 0;
}
