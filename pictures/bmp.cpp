// Uncompressed Windows bitmaps of 1, 4, 8, 24 and 32 bits per pixel. Rows are
// read as stored, the first stored row being the bottom one, whatever the sign
// of the height, so a top-down file shows upside down.
#include <cstring>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {

using detail::I32;
using detail::U16;
using detail::U32;

PictureObject* DecodeBmp(const uint8_t* data, size_t size) {
  constexpr size_t kHeaders = 54;  // file header 14 + information header 40
  if (!data || size < kHeaders) return nullptr;
  if (U32(data + 30) != 0) return nullptr;  // compressed
  const uint32_t infoSize = U32(data + 14);
  // The fixed fields above belong to a 40-byte (or longer) information
  // header; an older 12-byte header lays them out differently.
  if (infoSize < 40 || infoSize > size - 14) return nullptr;
  const uint16_t bits = U16(data + 28);
  const int64_t width = I32(data + 18) < 0 ? -int64_t{I32(data + 18)} : I32(data + 18);
  const int64_t height = I32(data + 22) < 0 ? -int64_t{I32(data + 22)} : I32(data + 22);
  if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return nullptr;

  uint8_t table[256][4] = {};
  size_t pos = 14 + static_cast<size_t>(infoSize);  // colour table follows the header
  if (bits == 1 || bits == 4 || bits == 8) {
    uint32_t colours = U32(data + 46);
    if (colours == 0) colours = 1u << bits;
    if (colours > (size - pos) / 4) return nullptr;
    // Entries past the ones an index can reach are read but not kept.
    for (uint32_t i = 0; i < colours && i < 256; ++i) std::memcpy(table[i], data + pos + i * 4, 4);
    pos += static_cast<size_t>(colours) * 4;
  } else if (bits != 24 && bits != 32) {
    return nullptr;
  }
  const uint32_t offset = U32(data + 10);
  if (offset < pos || offset > size) return nullptr;

  const uint64_t stride = (static_cast<uint64_t>(width) * bits + 31) / 32 * 4;
  if (stride == 0 || static_cast<uint64_t>(height) > (size - offset) / stride) return nullptr;
  const size_t block = detail::BlockSize(static_cast<uint64_t>(width) * 3, static_cast<uint64_t>(height));
  PictureObject* pic = detail::NewPicture(kBmp, static_cast<int32_t>(width), static_cast<int32_t>(height), block);
  if (!pic) return nullptr;

  const size_t w = static_cast<size_t>(width);
  for (size_t y = 0; y < static_cast<size_t>(height); ++y) {
    const uint8_t* src = data + offset + y * stride;
    uint8_t* dst = pic->pixels + y * w * 3;  // both bottom-up
    if (bits >= 24) {
      const size_t step = bits / 8;
      for (size_t x = 0; x < w; ++x) std::memcpy(dst + x * 3, src + x * step, 3);
    } else {
      const unsigned mask = (1u << bits) - 1, perByte = 8 / bits;
      for (size_t x = 0; x < w; ++x) {
        const unsigned shift = 8 - bits * (1 + x % perByte);
        const unsigned index = (src[x / perByte] >> shift) & mask;
        std::memcpy(dst + x * 3, table[index], 3);
      }
    }
  }
  return pic;
}

}  // namespace pictures
