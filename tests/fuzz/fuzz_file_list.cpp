// Any bytes as the packer's file list: every entry comes from one line of the
// text, in order, holds no line break, and its source no tab and no comment.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "tools/mksetup/pack.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  size_t last = 0;
  for (const mksetup::ListedFile& l : mksetup::ParseFileList(text)) {
    if (l.line <= last || l.line > lines) abort();
    last = l.line;
    if (l.source.find_first_of("\n\t") != std::string::npos || l.name.find('\n') != std::string::npos) abort();
    if (l.source.starts_with('#') || (l.source.empty() && l.name.empty() && text.find("\t") == std::string::npos))
      abort();
  }
  return 0;
}
