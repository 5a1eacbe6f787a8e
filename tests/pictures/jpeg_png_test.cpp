#include <gtest/gtest.h>

#include <memory>

#include <zlib.h>

#include <cstring>
#include <jpeglib.h>

#include "pictures/detail.h"
#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"
#include "tests/pictures/picture_view.h"

namespace pictures {
namespace {

using namespace testpics;

struct Freer {
  void operator()(PictureObject* p) const { FreePicture(p); }
};
using Pic = std::unique_ptr<PictureObject, Freer>;
Pic Load(const Bytes& b) { return Pic(LoadPicture(b.data(), static_cast<int64_t>(b.size()))); }

// libjpeg's own decoding, top-down RGB: what the decoder must reproduce.
Image LibjpegDecode(const Bytes& b) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, b.data(), b.size());
  jpeg_read_header(&cinfo, TRUE);
  cinfo.out_color_space = JCS_RGB;
  jpeg_start_decompress(&cinfo);
  Image img;
  img.width = cinfo.output_width;
  img.height = cinfo.output_height;
  std::vector<uint8_t> row(img.width * 3);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW r[1] = {row.data()};
    jpeg_read_scanlines(&cinfo, r, 1);
    for (int x = 0; x < img.width; ++x) img.px.push_back({row[x * 3], row[x * 3 + 1], row[x * 3 + 2]});
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return img;
}

void ExpectSame(const PictureObject& p, const Image& img) {
  ASSERT_EQ(p.width, img.width);
  ASSERT_EQ(p.height, img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x) ASSERT_EQ(PixelOf(p, x, y), img.at(x, y)) << x << "," << y;
}

TEST(Jpeg, ColourMatchesLibjpegAndIsBottomUpBgr) {
  for (bool progressive : {false, true}) {
    const Image src = Pattern(37, 21, 5);
    const Bytes jpg = MakeJpeg(src, false, 95, progressive);
    Pic p = Load(jpg);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->format, kJpeg);
    EXPECT_EQ(p->pixelSize, 37 * 21 * 3);
    ExpectSame(*p, LibjpegDecode(jpg));
    // And close to what was encoded (first pixel row in memory is the bottom).
    const Rgb bottomLeft = PixelOf(*p, 0, 20);
    EXPECT_NEAR(bottomLeft.r, src.at(0, 20).r, 24);
    EXPECT_NEAR(bottomLeft.g, src.at(0, 20).g, 24);
    EXPECT_EQ(p->pixels[2], bottomLeft.r);
  }
}

TEST(Jpeg, GreyscaleGivesThreeEqualChannels) {
  const Image src = Pattern(19, 11, 9);
  const Bytes jpg = MakeJpeg(src, /*grey=*/true);
  Pic p = Load(jpg);
  ASSERT_NE(p, nullptr);
  const Image ref = LibjpegDecode(jpg);
  for (int y = 0; y < 11; ++y)
    for (int x = 0; x < 19; ++x) {
      const Rgb c = PixelOf(*p, x, y);
      EXPECT_EQ(c.r, c.g);
      EXPECT_EQ(c.g, c.b);
      EXPECT_EQ(c.g, ref.at(x, y).g);
    }
}

TEST(Jpeg, CorruptOrTruncatedDataNeverCrashes) {
  const Bytes jpg = MakeJpeg(Pattern(64, 48, 2));
  // A truncated file still yields a picture (the missing part is grey).
  Pic cut = Load(Bytes(jpg.begin(), jpg.begin() + jpg.size() / 2));
  EXPECT_NE(cut, nullptr);
  // A header cut before the frame gives none.
  EXPECT_EQ(Load(Bytes(jpg.begin(), jpg.begin() + 20)), nullptr);
  Bytes junk = jpg;
  for (size_t i = 100; i < junk.size(); i += 7) junk[i] ^= 0x5A;
  Load(junk);
  // A frame header claiming 65000 x 65000: refused before decoding.
  Bytes big = jpg;
  for (size_t i = 2; i + 8 < big.size(); ++i)
    if (big[i] == 0xFF && big[i + 1] == 0xC0) {
      big[i + 5] = 0xFD; big[i + 6] = 0xE8;  // height 65000
      big[i + 7] = 0xFD; big[i + 8] = 0xE8;  // width 65000
      break;
    }
  EXPECT_EQ(Load(big), nullptr);
}

std::vector<uint8_t> RgbaPattern(int w, int h) {
  std::vector<uint8_t> v;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      v.insert(v.end(), {static_cast<uint8_t>(x * 20), static_cast<uint8_t>(y * 30), static_cast<uint8_t>(x ^ y),
                         static_cast<uint8_t>((x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 128 : 255)});
  return v;
}

TEST(Png, StraightBgraTopDown) {
  const auto rgba = RgbaPattern(9, 7);
  Pic p = Load(MakePng(9, 7, rgba));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->format, kPng);
  EXPECT_EQ(p->pixelSize, 9 * 7 * 4);
  for (size_t i = 0; i < 9 * 7; ++i) {
    EXPECT_EQ(p->pixels[i * 4 + 0], rgba[i * 4 + 2]);
    EXPECT_EQ(p->pixels[i * 4 + 1], rgba[i * 4 + 1]);
    EXPECT_EQ(p->pixels[i * 4 + 2], rgba[i * 4 + 0]);
    EXPECT_EQ(p->pixels[i * 4 + 3], rgba[i * 4 + 3]);
  }
  Pic grey = Load(MakePng(9, 7, rgba, /*grey=*/true));
  ASSERT_NE(grey, nullptr);
  EXPECT_EQ(grey->pixels[4 * 5 + 0], grey->pixels[4 * 5 + 2]);
}

// A PNG of only a signature and an IHDR chunk with the given size.
Bytes PngHeaderOnly(uint32_t w, uint32_t h) {
  Bytes b{0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (uint32_t v : {w, h}) b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
  b.insert(b.end(), {8, 6, 0, 0, 0});
  const uLong crc = crc32(0, b.data() + 12, 17);
  b.insert(b.end(), {uint8_t(crc >> 24), uint8_t(crc >> 16), uint8_t(crc >> 8), uint8_t(crc)});
  return b;
}

TEST(Png, CorruptOversizedOrCutGiveNothing) {
  const Bytes png = MakePng(16, 16, RgbaPattern(16, 16));
  EXPECT_EQ(Load(Bytes(png.begin(), png.begin() + png.size() - 20)), nullptr);
  Bytes bad = png;
  bad[20] ^= 1;  // IHDR CRC no longer matches
  EXPECT_EQ(Load(bad), nullptr);
  EXPECT_EQ(Load(PngHeaderOnly(9000, 8000)), nullptr);  // 288 MB of pixels
  EXPECT_EQ(Load(PngHeaderOnly(100, 100)), nullptr);    // no image data
}

}  // namespace
}  // namespace pictures
