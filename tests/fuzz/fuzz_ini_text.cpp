// Any bytes as an INI file's text, edited with a section, key and value cut
// from the input: editing never fails unsafely, deleting never adds bytes,
// and with names the profile rules can find again (no line breaks, no "=",
// brackets or ";", no surrounding blanks) and a value on one line, setting
// the same value twice changes nothing the second time.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "runtime/win32/ini_text.h"

namespace {
bool Plain(const std::string& s, bool name) {
  if (name && (s.empty() || s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t')) return false;
  for (unsigned char c : s)
    if (c < 0x20 || (name && (c == '=' || c == '[' || c == ']' || c == ';'))) return false;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Text, section, key, value at the first three 0xFF bytes.
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && parts.size() < 4) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  parts.resize(4);
  const int mode = size ? data[size - 1] % 3 : 0;
  std::string text = parts[0];
  const char* key = mode == 2 ? nullptr : parts[2].c_str();
  const char* value = mode >= 1 ? nullptr : parts[3].c_str();
  const size_t before = text.size();
  rt::win32::EditIniText(text, parts[1], key, value);
  if (!value && text.size() > before) std::abort();
  if (value && Plain(parts[1], true) && Plain(parts[2], true) && Plain(parts[3], false)) {
    std::string again = text;
    rt::win32::EditIniText(again, parts[1], key, value);
    if (again != text) std::abort();
  }
  return 0;
}
