// Stepping over code page 936 texts: a byte with the top bit set starts a
// two-byte character.
#pragma once
#include <cstddef>
#include <cstdint>

namespace rt::cp936 {
constexpr bool IsLead(uint8_t b) { return (b & 0x80) != 0; }
// Length of the character starting at s[i] within n bytes: 2 for a lead byte
// with a trail byte inside the range, else 1.
inline size_t CharLen(const uint8_t* s, size_t i, size_t n) {
  return IsLead(s[i]) && i + 1 < n ? 2 : 1;
}
}  // namespace rt::cp936
