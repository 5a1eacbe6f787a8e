// Icon and cursor files: the directory walk and image choice, and the checks
// that the chosen image is whole before the system is handed its bytes.
#include <cstring>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {

using detail::I32;
using detail::U16;
using detail::U32;

namespace {

// Big-endian 32-bit value (PNG header fields).
uint32_t B32(const uint8_t* p) {
  return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// A DIB icon image: information header, colour table, colour (XOR) bits and
// the 1-bit AND mask, all of the size the header states.
bool CheckDibImage(const uint8_t* img, size_t size, IconImage* out) {
  if (size < 40) return false;
  const uint32_t headerSize = U32(img);
  if (headerSize < 40 || headerSize > size) return false;
  const int32_t width = I32(img + 4), fullHeight = I32(img + 8);
  const uint16_t bits = U16(img + 14);
  if (width <= 0 || fullHeight <= 1) return false;
  const int32_t height = fullHeight / 2;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
  if (detail::BlockSize(uint64_t(width) * 4, uint64_t(height)) == 0) return false;
  const uint32_t compression = U32(img + 16);
  if (compression != 0 && compression != 3) return false;  // plain, or bit fields
  uint64_t colours = compression == 3 ? 3 : 0;               // three masks
  if (bits <= 8) {
    if (compression != 0) return false;
    colours = U32(img + 32);
    if (colours == 0 || colours > (1u << bits)) colours = 1u << bits;
  }
  const uint64_t xorRow = (uint64_t(width) * bits + 31) / 32 * 4;
  const uint64_t andRow = (uint64_t(width) + 31) / 32 * 4;
  const uint64_t need = headerSize + colours * 4 + (xorRow + andRow) * uint64_t(height);
  if (need > size) return false;
  out->width = width;
  out->height = height;
  out->bitCount = bits;
  out->png = false;
  return true;
}

// A PNG icon image (as newer icon files hold large images): its size comes
// from the IHDR chunk; the system decodes the stream.
bool CheckPngImage(const uint8_t* img, size_t size, IconImage* out) {
  if (size < 33 || std::memcmp(img + 12, "IHDR", 4) != 0) return false;
  const uint32_t width = B32(img + 16), height = B32(img + 20);
  if (width == 0 || height == 0 || detail::BlockSize(uint64_t(width) * 4, height) == 0) return false;
  out->width = static_cast<int32_t>(width);
  out->height = static_cast<int32_t>(height);
  out->bitCount = 32;
  out->png = true;
  return true;
}

void* NoIconCreator(const IconImage&) { return nullptr; }

}  // namespace

IconCreator PlatformIconCreator();  // icon_win32.cpp / icon_none.cpp

namespace {
IconCreator& CurrentCreator() {
  static IconCreator creator = PlatformIconCreator();
  return creator;
}
}  // namespace

IconCreator SetIconCreator(IconCreator creator) {
  IconCreator old = CurrentCreator();
  CurrentCreator() = creator ? creator : NoIconCreator;
  return old;
}

bool ChooseIconImage(const uint8_t* data, size_t size, IconImage* out) {
  if (!data || !out || size < 6) return false;
  const uint16_t type = U16(data + 2), count = U16(data + 4);
  if (U16(data) != 0 || (type != 1 && type != 2) || count == 0) return false;
  if (size - 6 < size_t{count} * 16) return false;
  int chosen = count - 1;
  for (int i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + i * 16;
    if (e[2] >= 16 && e[0] == 32) {
      chosen = i;
      break;
    }
  }
  const uint8_t* e = data + 6 + chosen * 16;
  const uint32_t imageSize = U32(e + 8), imageOffset = U32(e + 12);
  if (imageOffset > size || imageSize > size - imageOffset || imageSize < 16) return false;
  IconImage image;
  image.format = type == 1 ? kIcon : kCursor;
  image.entry = chosen;
  image.bytes = data + imageOffset;
  image.size = imageSize;
  static const uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  const bool ok = std::memcmp(image.bytes, kPngSignature, 8) == 0 ? CheckPngImage(image.bytes, image.size, &image)
                                                                  : CheckDibImage(image.bytes, image.size, &image);
  if (!ok) return false;
  *out = image;
  return true;
}

PictureObject* DecodeIcon(const uint8_t* data, size_t size) {
  IconImage image;
  if (!ChooseIconImage(data, size, &image)) return nullptr;
  void* icon = CurrentCreator()(image);
  if (!icon) return nullptr;
  auto* pic = static_cast<PictureObject*>(std::calloc(1, sizeof(PictureObject)));
  if (!pic) {
    DestroyIconHandle(icon);
    return nullptr;
  }
  pic->format = image.format;
  pic->width = image.width;
  pic->height = image.height;
  pic->icon = icon;
  return pic;
}

}  // namespace pictures
