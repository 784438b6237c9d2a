// The library's own default terminate handler. The C++ runtime's one prints
// the demangled type of the exception, which links the whole demangler
// into the DLL; every edge of the library catches everything, so nothing
// should get here, and ending at once is all that is left to do. Defined
// here, the runtime's version is never pulled from its library.
#include <cstdlib>
#include <exception>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
