#include "text/gbk.h"

namespace text::gbk {

bool IsWellFormed(std::string_view text) {
  for (size_t i = 0; i < text.size(); i++) {
    const uint8_t b = uint8_t(text[i]);
    if (b == 0xFF) return false;
    if (!IsLead(b)) continue;
    if (i + 1 >= text.size() || !IsTrail(uint8_t(text[i + 1]))) return false;
    i++;
  }
  return true;
}

size_t FindChar(std::string_view text, char c) {
  for (size_t i = 0; i < text.size(); i += CharLen(text, i))
    if (text[i] == c) return i;
  return std::string_view::npos;
}

bool EndsWith(std::string_view text, char c) {
  bool last = false;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) last = text[i] == c;
  return last;
}

bool SameFileName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  for (size_t i = 0; i < a.size();) {
    const size_t n = CharLen(a, i);
    if (n != CharLen(b, i)) return false;
    if (n == 1 ? fold(a[i]) != fold(b[i]) : a.substr(i, n) != b.substr(i, n)) return false;
    i += n;
  }
  return true;
}

std::vector<std::string> Split(std::string_view text, char sep) {
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i += CharLen(text, i)) {
    if (text[i] != sep) continue;
    pieces.emplace_back(text.substr(start, i - start));
    start = i + 1;
  }
  if (start < text.size()) pieces.emplace_back(text.substr(start));
  return pieces;
}

}  // namespace text::gbk
