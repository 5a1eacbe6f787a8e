#pragma once
// Numbers and messages as text, the same on every system. On Windows the
// C library's own formatter does the work: the C99 one that the compiler
// would otherwise use brings some 25 KB into every program.
#include <cstddef>
#include <string>

namespace rt {

// snprintf for integers and texts (%d, %u, %02u, %s and the like; no 64-bit
// or size_t lengths). Always terminated; a text that does not fit is cut.
void FormatText(char* buf, size_t size, const char* format, ...);

// printf's "%.<digits>g" in its C99 form: "1.23457e+06", "inf", "-nan".
std::string GeneralNumberText(double d, int digits);

}  // namespace rt
