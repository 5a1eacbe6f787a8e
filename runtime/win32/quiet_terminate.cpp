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

// The containers report misuse through these functions. The C++ library's own
// versions build std::logic_error and friends, whose message strings bring a
// second, reference-counted string implementation and the formatting behind
// it (some 70 KB). Nothing in these programs catches those errors: a length
// that cannot be met is what allocation failure is (the one error they do
// catch), the others are faults that end the program anyway.
#include <functional>
#include <new>

namespace std {
void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
void __throw_invalid_argument(const char*) { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
}  // namespace std
