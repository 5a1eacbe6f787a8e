// Helpers shared by the decoders: bounded little-endian reads and the one way a
// picture object and its pixel block come into being.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "pictures/picture.h"

namespace pictures::detail {

inline uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline int32_t I32(const uint8_t* p) { return static_cast<int32_t>(U32(p)); }
inline void Put16(uint8_t* p, uint16_t v) { p[0] = v & 0xFF; p[1] = v >> 8; }
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = v & 0xFF; p[1] = (v >> 8) & 0xFF; p[2] = (v >> 16) & 0xFF; p[3] = v >> 24;
}

// The pixel-block limit in force (kMaxPixelBlock unless lowered).
size_t PixelBlockLimit();

// a * b (+ c) when the result stays within the pixel-block limit, else 0
// (callers never ask for an empty block, so 0 doubles as "too large").
inline size_t BlockSize(uint64_t a, uint64_t b, uint64_t c = 0) {
  if (a == 0 || b == 0) return 0;
  if (a > kMaxPixelBlock || b > kMaxPixelBlock || c > kMaxPixelBlock) return 0;
  const uint64_t n = a * b + c;  // factors <= 2^28: no overflow
  return n <= PixelBlockLimit() ? static_cast<size_t>(n) : 0;
}

// A picture object with a zeroed pixel block of `size` bytes (size from
// BlockSize), or null when the size is 0 or memory is short.
PictureObject* NewPicture(int32_t format, int32_t width, int32_t height, size_t size);

// Fills a BITMAPINFOHEADER for an 8-bit top-down DIB of width x height whose
// 256-entry colour table follows it.
void WriteDibHeader(uint8_t* block, int32_t width, int32_t height, size_t imageSize);

}  // namespace pictures::detail
