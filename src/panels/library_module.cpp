#include "panels/library_module.h"

HINSTANCE LibraryModule() {
    HMODULE module = nullptr;
    // The address of this very function names the module it lies in.
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&LibraryModule), &module);
    return module;
}
