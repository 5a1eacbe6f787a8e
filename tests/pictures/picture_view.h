// Reading a decoded picture's pixels back as colours, whatever its layout.
#pragma once
#include <cstring>

#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"

namespace testpics {

inline Rgb PixelOf(const pictures::PictureObject& p, int x, int y) {
  using namespace pictures;
  switch (p.format) {
    case kJpeg:
    case kBmp: {
      const uint8_t* q = p.pixels + (static_cast<size_t>(p.height - 1 - y) * p.width + x) * 3;
      return {q[2], q[1], q[0]};
    }
    case kPng: {
      const uint8_t* q = p.pixels + (static_cast<size_t>(y) * p.width + x) * 4;
      return {q[2], q[1], q[0]};
    }
    case kGif:
    case kPcx8: {
      int32_t w;
      std::memcpy(&w, p.pixels + 4, 4);
      const size_t stride = (static_cast<size_t>(w) + 3) & ~size_t{3};
      const uint8_t index = p.pixels[kDibPixelsOffset + y * stride + x];
      const uint8_t* c = p.pixels + kDibHeaderSize + index * 4;
      return {c[2], c[1], c[0]};
    }
    case kPcx1: {
      const size_t stride = (static_cast<size_t>(p.width) + 15) / 16 * 2;
      const bool on = p.pixels[y * stride + x / 8] & (0x80 >> (x % 8));
      return on ? Rgb{255, 255, 255} : Rgb{0, 0, 0};
    }
    default: return {0, 0, 0};
  }
}

}  // namespace testpics
