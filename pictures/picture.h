// Picture objects: bytes of a JPEG, BMP, PNG, GIF, ICO, CUR or PCX file turned
// into a picture that knows its format and size and holds decoded pixels (or,
// for icons and cursors, an icon handle). Everything here is portable except
// the creation and destruction of icon handles, which only a Windows build can
// do; on other systems an icon or cursor file decodes to no picture.
//
// Every decoder trusts nothing in its input: a size that would overflow, run
// past the data or ask for a pixel block above kMaxPixelBlock yields no
// picture, never a read or write out of bounds.
#pragma once
#include <cstddef>
#include <cstdint>

namespace pictures {

enum PictureFormat : int32_t {
  kNotPicture = 0,
  kJpeg = 1,
  kBmp = 2,
  kIcon = 3,
  kCursor = 4,
  kGif = 5,
  kPcx8 = 6,
  kPcx1 = 7,
  kPng = 8,
};

// Pixel layout by format:
//  JPEG, BMP: 3 bytes per pixel blue, green, red; rows bottom-up, unpadded.
//  GIF, PCX 8: a DIB block: BITMAPINFOHEADER (8 bits, negative height), 256
//   colour entries (blue, green, red, 0), rows from byte kDibPixelsOffset,
//   each rounded up to 4 bytes. For GIF the header holds the first image's
//   size while width/height below are the logical screen's.
//  PCX 1: packed monochrome rows, each a whole number of 16-bit words.
//  PNG: 4 bytes per pixel blue, green, red, alpha (straight); rows top-down.
//  Icon, cursor: no pixel block; `icon` is an HICON.
struct PictureObject {
  int32_t format;
  int32_t width;
  int32_t height;
  void* icon;
  uint8_t* pixels;  // malloc'd, freed by FreePicture
  int32_t pixelSize;
};

constexpr size_t kMaxPixelBlock = size_t{256} << 20;  // 256 MiB
// Lowers the pixel-block limit (never above kMaxPixelBlock); fuzzers use it to
// keep each input's work small. Returns the previous limit.
size_t SetPixelBlockLimit(size_t limit);
constexpr size_t kDibHeaderSize = 40;
constexpr size_t kDibPixelsOffset = kDibHeaderSize + 256 * 4;  // 1064

// Format from the first bytes; fewer than 6 bytes give kNotPicture.
PictureFormat DetectPictureFormat(const void* bytes, int64_t count);

// Decodes a picture; the bytes are only read. Null for no picture.
PictureObject* LoadPicture(const void* bytes, int64_t count);
// Reads a whole file (GBK path; opened read-only, other writers denied) and
// decodes it as LoadPicture does. Null for an empty path or no picture.
PictureObject* LoadPictureFile(const char* path);
// Destroys the icon, frees the pixel block and the object. Null is ignored.
void FreePicture(PictureObject* picture);

// The decoders behind LoadPicture, one per file kind. Each gets the whole
// file and returns null for no picture.
PictureObject* DecodeJpeg(const uint8_t* data, size_t size);
PictureObject* DecodeBmp(const uint8_t* data, size_t size);
PictureObject* DecodePng(const uint8_t* data, size_t size);
PictureObject* DecodeGif(const uint8_t* data, size_t size);
PictureObject* DecodePcx(const uint8_t* data, size_t size);
PictureObject* DecodeIcon(const uint8_t* data, size_t size);

// The image an icon or cursor file is shown with: the first directory entry
// that is 32 pixels wide with at least 16 colours, else the last entry.
struct IconImage {
  int32_t format = kNotPicture;  // kIcon or kCursor
  int32_t entry = -1;            // directory index chosen
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitCount = 0;
  bool png = false;  // the image is a PNG stream rather than a DIB
};
// Walks the directory, chooses the image and checks that its bytes lie in
// the data and hold a well-formed image. False when there is none.
bool ChooseIconImage(const uint8_t* data, size_t size, IconImage* out);

// Platform hooks for icon handles (Windows: CreateIconFromResourceEx /
// DestroyIcon; elsewhere creation fails). Tests may replace the creator.
using IconCreator = void* (*)(const IconImage& image);
IconCreator SetIconCreator(IconCreator creator);
void DestroyIconHandle(void* icon);

// Pixel helpers shared by rendering, portable so that they are tested on the
// host.
//
// Blends every pixel whose alpha is below 255 over the background colour
// (COLORREF 0x00BBGGRR) in place: c = a/255 * pixel + (1 - a/255) * bg,
// truncated. Alpha itself is left as it was.
void BlendOverBackground(uint8_t* bgra, size_t pixelCount, uint32_t colorref);
// Copies unpadded 3-byte rows into rows padded to 4 bytes. dst must hold
// PaddedRowSize(width) * height bytes.
size_t PaddedRowSize(int32_t width);
void PadRows24(const uint8_t* src, int32_t width, int32_t height, uint8_t* dst);

}  // namespace pictures
