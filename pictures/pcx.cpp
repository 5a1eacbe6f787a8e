// PCX with one plane of 8 bits (an 8-bit DIB block with the file's palette)
// or of 1 bit (monochrome rows of whole 16-bit words).
#include <cstring>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {

using detail::U16;

PictureObject* DecodePcx(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 128;
  if (!data || size <= kHeader) return nullptr;
  if (data[0] != 10 || data[2] != 1 || data[1] > 5) return nullptr;
  const uint16_t xmin = U16(data + 4), ymin = U16(data + 6), xmax = U16(data + 8), ymax = U16(data + 10);
  if (xmax < xmin || ymax < ymin) return nullptr;
  const uint32_t width = uint32_t{xmax} - xmin + 1, height = uint32_t{ymax} - ymin + 1;
  const uint8_t bits = data[3], planes = data[65];
  const uint32_t bytesPerLine = U16(data + 66);
  if (planes != 1 || bytesPerLine == 0) return nullptr;

  int32_t format;
  size_t stride, block, offset;
  if (bits == 1) {
    format = kPcx1;
    stride = (size_t{width} + 15) / 16 * 2;  // what a monochrome bitmap expects
    block = detail::BlockSize(stride, height);
    offset = 0;
  } else if (bits == 8) {
    format = kPcx8;
    stride = (size_t{width} + 3) & ~size_t{3};  // what the DIB header implies
    block = detail::BlockSize(stride, height, kDibPixelsOffset);
    offset = kDibPixelsOffset;
  } else {
    return nullptr;
  }
  // Each line decodes bytesPerLine bytes; a line longer than the picture row
  // is cut, a shorter one padded with zeros, so that the rows always match
  // the bitmap that rendering creates from them.
  // Two bytes of data give at most 63 pixel bytes: a header that asks for
  // more than the data could hold gives no picture before any work is done.
  if (block == 0 || uint64_t{height} * bytesPerLine > uint64_t{(size - kHeader) / 2 + 1} * 63) return nullptr;
  PictureObject* pic = detail::NewPicture(format, static_cast<int32_t>(width), static_cast<int32_t>(height), block);
  if (!pic) return nullptr;
  uint8_t* pixels = pic->pixels + offset;
  const size_t rowBytes = format == kPcx8 ? width : stride;
  const size_t keep = bytesPerLine < rowBytes ? bytesPerLine : rowBytes;

  size_t pos = kHeader;
  uint32_t run = 0;
  uint8_t value = 0;
  for (uint32_t y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * stride;
    for (uint32_t x = 0; x < bytesPerLine; ++x) {
      if (run == 0) {
        if (pos >= size) {
          FreePicture(pic);
          return nullptr;
        }
        const uint8_t b = data[pos++];
        if (b > 192) {
          if (pos >= size) {
            FreePicture(pic);
            return nullptr;
          }
          run = b - 192u;
          value = data[pos++];
        } else {
          run = 1;
          value = b;
        }
      }
      --run;
      if (x < keep) row[x] = value;
    }
  }

  if (format == kPcx8) {
    detail::WriteDibHeader(pic->pixels, static_cast<int32_t>(width), static_cast<int32_t>(height),
                           block - kDibPixelsOffset);
    if (pos < size && data[pos] == 12 && size - pos - 1 >= 768) {
      uint8_t* table = pic->pixels + kDibHeaderSize;
      for (int i = 0; i < 256; ++i) {
        const uint8_t* rgb = data + pos + 1 + i * 3;
        table[i * 4 + 0] = rgb[2];
        table[i * 4 + 1] = rgb[1];
        table[i * 4 + 2] = rgb[0];
        table[i * 4 + 3] = 0;
      }
    }
  }
  return pic;
}

}  // namespace pictures
