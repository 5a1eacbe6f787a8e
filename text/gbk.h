// Stepping over code page 936 (GBK) texts. A byte from 0x81 to 0xFE starts a
// two-byte character; its second byte (0x40 to 0xFE, not 0x7F) may have the
// value of an ASCII character such as "\" or "|", so every search for a
// single-byte character steps over two-byte characters as units. 0x80 is a
// character of its own (the euro sign), 0xFF is no character at all.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace text::gbk {

constexpr bool IsLead(uint8_t b) { return b >= 0x81 && b <= 0xFE; }
constexpr bool IsTrail(uint8_t b) { return b >= 0x40 && b <= 0xFE && b != 0x7F; }

// Length of the character starting at s[i] within n bytes: 2 for a lead byte
// with a byte after it, else 1.
constexpr size_t CharLen(const uint8_t* s, size_t i, size_t n) { return IsLead(s[i]) && i + 1 < n ? 2 : 1; }
inline size_t CharLen(std::string_view s, size_t i) {
  return CharLen(reinterpret_cast<const uint8_t*>(s.data()), i, s.size());
}

// Every lead byte followed by a valid trail byte, and no 0xFF. A text that
// ends in a lone lead byte would take the byte after it (a "|" once it is
// joined into a list) as its second byte.
bool IsWellFormed(std::string_view text);

// Position of the first single-byte character c, stepping over two-byte
// characters; npos when absent.
size_t FindChar(std::string_view text, char c);

// Whether the last character is the single-byte character c (a two-byte
// character whose second byte has c's value is not).
bool EndsWith(std::string_view text, char c);

// Whether two names are the same to the file system, which ignores the case
// of ASCII letters: a two-byte character is compared as it is, though its
// second byte may have a letter's value.
bool SameFileName(std::string_view a, std::string_view b);

// Splits at the single-byte character sep, stepping over two-byte
// characters. A final empty piece after a trailing separator is not an
// element: "a|b|" gives two pieces, "a||b" three, "" none.
std::vector<std::string> Split(std::string_view text, char sep);

}  // namespace text::gbk
