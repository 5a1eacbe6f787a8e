// Linked into each shipped program (not into a library, where the linker
// would prefer the C++ library's own definition).
//
// An exception nobody catches ends the program. The C++ library's handler for
// that prints the exception's type, demangled, on standard error, which a
// windowed program does not have; it would bring the whole demangler (some
// 45 KB) into the executable. This one just ends the program.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx
