// Small picture files made in memory for the tests: BMP, GIF (with a real LZW
// encoder), PCX and ICO written byte by byte, PNG and JPEG through libpng's
// and libjpeg's own writers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace testpics {

using Bytes = std::vector<uint8_t>;

struct Rgb {
  uint8_t r, g, b;
  bool operator==(const Rgb&) const = default;
};

// A picture as the tests think of it: top-down rows of colours.
struct Image {
  int width = 0, height = 0;
  std::vector<Rgb> px;
  Rgb at(int x, int y) const { return px[static_cast<size_t>(y) * width + x]; }
};

// A deterministic test pattern.
Image Pattern(int width, int height, uint32_t seed = 1);

// An indexed picture: indices top-down plus a palette.
struct Indexed {
  int width = 0, height = 0;
  std::vector<uint8_t> index;
  std::vector<Rgb> palette;
};
Indexed IndexedPattern(int width, int height, int colours, uint32_t seed = 1);

// BMP: bits 24 or 32 from an Image; 1, 4, 8 from an Indexed. topDown writes a
// negative height with the rows stored top row first.
Bytes MakeBmp24(const Image& img, int bits = 24, bool topDown = false);
Bytes MakeBmpIndexed(const Indexed& img, int bits, int coloursUsedField = 0);

// GIF: 87a or 89a (the latter with a graphic control and a comment extension
// before the image); the image may be smaller than the logical screen.
struct GifOptions {
  bool gif89 = false;
  bool interlaced = false;
  bool localTable = false;
  int screenWidth = 0, screenHeight = 0;  // 0: the image's
  int minCodeSize = 0;                    // 0: from the palette size
};
Bytes MakeGif(const Indexed& img, const GifOptions& opt = {});
// LZW-compresses indices as a GIF image's data (code size byte and
// sub-blocks).
Bytes GifLzw(const std::vector<uint8_t>& indices, int minCodeSize);

// PCX: 8 bits with or without the 256-colour palette; 1 bit (indices 0/1).
Bytes MakePcx8(const Indexed& img, bool palette);
Bytes MakePcx1(const Indexed& img);

// ICO/CUR: each entry a 32-bit or indexed DIB image with its AND mask; the
// directory's colour count byte is given per entry.
struct IconEntry {
  int width = 32, height = 32;
  int bits = 32;            // 32, 8 or 4
  int colourCountByte = 0;  // directory byte 2
  uint8_t alpha = 255;      // 32-bit: alpha of opaque pixels
  bool transparentCorner = false;  // top-left quarter transparent (mask 1, alpha 0)
  Rgb colour{200, 30, 40};
};
Bytes MakeIco(const std::vector<IconEntry>& entries, int type = 1);

// PNG through png_image_write_to_memory: RGBA rows top-down.
Bytes MakePng(int width, int height, const std::vector<uint8_t>& rgba, bool grey = false);
// JPEG through libjpeg: quality 95, RGB or greyscale.
Bytes MakeJpeg(const Image& img, bool grey = false, int quality = 95, bool progressive = false);

}  // namespace testpics
