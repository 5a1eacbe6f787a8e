#include "pictures/picture.h"

#include <cstdlib>
#include <cstring>

#include "pictures/detail.h"

namespace pictures {

using detail::U16;

PictureFormat DetectPictureFormat(const void* bytes, int64_t count) {
  if (!bytes || count < 6) return kNotPicture;
  const auto* b = static_cast<const uint8_t*>(bytes);
  if (b[0] == 'B' && b[1] == 'M') return kBmp;
  if (b[0] == 0xFF && b[1] == 0xD8) return kJpeg;
  if (b[0] == 0x89 && b[1] == 'P' && b[2] == 'N' && b[3] == 'G') return kPng;
  if (U16(b) == 0 && U16(b + 4) > 0) {
    if (U16(b + 2) == 1) return kIcon;
    if (U16(b + 2) == 2) return kCursor;
  }
  if (b[0] == 'G' && b[1] == 'I' && b[2] == 'F' && b[3] == '8' && (b[4] == '7' || b[4] == '9') && b[5] == 'a')
    return kGif;
  if (b[0] == 10 && b[1] <= 5 && b[2] == 1 && b[3] == 8) return kPcx8;
  if (b[0] == 10 && b[1] == 3 && b[2] == 1 && b[3] == 1) return kPcx1;
  return kNotPicture;
}

PictureObject* LoadPicture(const void* bytes, int64_t count) {
  // The format test needs 8 readable bytes, whatever the format.
  if (!bytes || count < 8) return nullptr;
  if (static_cast<uint64_t>(count) > SIZE_MAX) return nullptr;
  const auto* data = static_cast<const uint8_t*>(bytes);
  const size_t size = static_cast<size_t>(count);
  switch (DetectPictureFormat(data, count)) {
    case kJpeg: return DecodeJpeg(data, size);
    case kBmp: return DecodeBmp(data, size);
    case kIcon:
    case kCursor: return DecodeIcon(data, size);
    case kGif: return DecodeGif(data, size);
    case kPcx8:
    case kPcx1: return DecodePcx(data, size);
    case kPng: return DecodePng(data, size);
    default: return nullptr;
  }
}

void FreePicture(PictureObject* picture) {
  if (!picture) return;
  if (picture->icon) DestroyIconHandle(picture->icon);
  std::free(picture->pixels);
  std::free(picture);
}

namespace detail {

namespace {
size_t g_limit = kMaxPixelBlock;
}  // namespace

size_t PixelBlockLimit() { return g_limit; }

PictureObject* NewPicture(int32_t format, int32_t width, int32_t height, size_t size) {
  if (size == 0 || size > PixelBlockLimit()) return nullptr;
  auto* p = static_cast<PictureObject*>(std::calloc(1, sizeof(PictureObject)));
  if (!p) return nullptr;
  p->pixels = static_cast<uint8_t*>(std::calloc(1, size));
  if (!p->pixels) {
    std::free(p);
    return nullptr;
  }
  p->format = format;
  p->width = width;
  p->height = height;
  p->pixelSize = static_cast<int32_t>(size);
  return p;
}

void WriteDibHeader(uint8_t* block, int32_t width, int32_t height, size_t imageSize) {
  std::memset(block, 0, kDibHeaderSize);
  Put32(block + 0, kDibHeaderSize);
  Put32(block + 4, static_cast<uint32_t>(width));
  Put32(block + 8, static_cast<uint32_t>(-height));  // top-down
  Put16(block + 12, 1);                              // planes
  Put16(block + 14, 8);                              // bits per pixel
  Put32(block + 20, static_cast<uint32_t>(imageSize));
  Put32(block + 32, 256);                            // colours used
}

}  // namespace detail

size_t SetPixelBlockLimit(size_t limit) {
  const size_t old = detail::g_limit;
  detail::g_limit = limit < kMaxPixelBlock ? limit : kMaxPixelBlock;
  return old;
}

void BlendOverBackground(uint8_t* bgra, size_t pixelCount, uint32_t colorref) {
  const double bg[3] = {static_cast<double>((colorref >> 16) & 0xFF),  // blue
                        static_cast<double>((colorref >> 8) & 0xFF),   // green
                        static_cast<double>(colorref & 0xFF)};         // red
  for (size_t i = 0; i < pixelCount; ++i) {
    uint8_t* p = bgra + i * 4;
    const uint8_t a = p[3];
    if (a == 255) continue;
    const double f = a * (1.0 / 255.0);
    for (int c = 0; c < 3; ++c) {
      double v = f * p[c] + bg[c] * (1.0 - f);
      if (v < 0) v = 0;
      if (v > 255) v = 255;
      p[c] = static_cast<uint8_t>(v);  // truncation towards zero
    }
  }
}

size_t PaddedRowSize(int32_t width) {
  return (static_cast<size_t>(width) * 24 + 31) / 32 * 4;
}

void PadRows24(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst) {
  const size_t in = static_cast<size_t>(width) * 3;
  const size_t out = PaddedRowSize(width);
  for (int32_t y = 0; y < height; ++y) {
    std::memcpy(dst + y * out, src + y * in, in);
    std::memset(dst + y * out + in, 0, out - in);
  }
}

}  // namespace pictures
