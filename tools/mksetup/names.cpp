#include "tools/mksetup/names.h"

namespace mksetup {

std::string ToBackslashes(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c == '/') c = '\\';
  return out;
}

std::string FoldCase(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

}  // namespace mksetup
