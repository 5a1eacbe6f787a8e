#include "runtime/format.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace rt {

void FormatText(char* buf, size_t size, const char* format, ...) {
  if (size == 0) return;
  va_list args;
  va_start(args, format);
#ifdef _WIN32
  // Writes no terminator when the text fills the buffer.
  _vsnprintf(buf, size - 1, format, args);
  buf[size - 1] = 0;
#else
  std::vsnprintf(buf, size, format, args);
#endif
  va_end(args);
}

std::string GeneralNumberText(double d, int digits) {
  if (std::isnan(d)) return std::signbit(d) ? "-nan" : "nan";
  if (std::isinf(d)) return d < 0 ? "-inf" : "inf";
  char buf[64];
  FormatText(buf, sizeof buf, "%.*g", digits, d);
  std::string s = buf;
  // The Windows formatter writes three exponent digits where C99 writes as
  // many as needed, at least two.
  const size_t e = s.find('e');
  if (e != std::string::npos && s.size() - e == 5 && s[e + 2] == '0') s.erase(e + 2, 1);
  return s;
}

}  // namespace rt
