#include <gtest/gtest.h>

#include <memory>

#include <cstring>

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

TEST(Pcx, EightBitsWithPalette) {
  for (int w : {1, 3, 4, 13}) {
    const Indexed ix = IndexedPattern(w, 6, 256, w);
    Pic p = Load(MakePcx8(ix, true));
    ASSERT_NE(p, nullptr) << w;
    EXPECT_EQ(p->format, kPcx8);
    EXPECT_EQ(p->width, w);
    EXPECT_EQ(p->height, 6);
    EXPECT_EQ(detail::I32(p->pixels + 8), -6);
    EXPECT_EQ(p->pixelSize, static_cast<int32_t>(kDibPixelsOffset + ((w + 3) & ~3) * 6));
    for (int y = 0; y < 6; ++y)
      for (int x = 0; x < w; ++x) ASSERT_EQ(PixelOf(*p, x, y), ix.palette[ix.index[y * w + x]]);
  }
}

TEST(Pcx, EightBitsWithoutPaletteKeepsIndices) {
  const Indexed ix = IndexedPattern(9, 5, 200, 4);
  Pic p = Load(MakePcx8(ix, false));
  ASSERT_NE(p, nullptr);
  const size_t stride = 12;
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) ASSERT_EQ(p->pixels[kDibPixelsOffset + y * stride + x], ix.index[y * 9 + x]);
  for (size_t i = kDibHeaderSize; i < kDibPixelsOffset; ++i) ASSERT_EQ(p->pixels[i], 0) << i;
}

TEST(Pcx, OneBitRowsOfWholeWords) {
  for (int w : {1, 8, 15, 16, 17, 40}) {
    const Indexed ix = IndexedPattern(w, 7, 2, w);
    Pic p = Load(MakePcx1(ix));
    ASSERT_NE(p, nullptr) << w;
    EXPECT_EQ(p->format, kPcx1);
    EXPECT_EQ(p->pixelSize, (w + 15) / 16 * 2 * 7);
    for (int y = 0; y < 7; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(PixelOf(*p, x, y), ix.index[y * w + x] ? (Rgb{255, 255, 255}) : (Rgb{0, 0, 0})) << x << "," << y;
  }
}

TEST(Pcx, LinesLongerThanTheRowAreCut) {
  // bytes per line 8 for a picture 3 pixels wide: the DIB rows stay 4 bytes.
  Indexed ix = IndexedPattern(3, 2, 256, 1);
  Bytes b = MakePcx8(ix, true);
  Bytes wide(b.begin(), b.begin() + 128);
  wide[66] = 8;
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) wide.insert(wide.end(), {0xC1, ix.index[y * 3 + x]});
    wide.insert(wide.end(), {0xC5, 0x99});
  }
  wide.insert(wide.end(), b.end() - 769, b.end());
  Pic p = Load(wide);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->pixelSize, static_cast<int32_t>(kDibPixelsOffset + 4 * 2));
  EXPECT_EQ(PixelOf(*p, 2, 1), ix.palette[ix.index[5]]);
  EXPECT_EQ(p->pixels[kDibPixelsOffset + 3], 0);  // padding, not 0x99
}

TEST(Pcx, BadHeadersAndShortDataGiveNothing) {
  const Bytes good = MakePcx8(IndexedPattern(10, 10, 256), true);
  auto with = [&](size_t at, uint8_t v) {
    Bytes b = good;
    b[at] = v;
    return b;
  };
  EXPECT_EQ(Load(with(65, 3)), nullptr);  // three planes
  EXPECT_EQ(Load(with(3, 4)), nullptr);   // 4 bits (detected as nothing)
  Bytes inverted = good;
  detail::Put16(inverted.data() + 4, 20);  // xmin above xmax
  EXPECT_EQ(Load(inverted), nullptr);
  Bytes huge = good;
  detail::Put16(huge.data() + 8, 0xFFFF);
  detail::Put16(huge.data() + 10, 0xFFFF);
  detail::Put16(huge.data() + 66, 0xFFFF);
  EXPECT_EQ(Load(huge), nullptr);
  EXPECT_EQ(Load(with(66, 0)), nullptr);  // no bytes per line (with 67 = 0)
  // Run-length data that ends before the last row.
  EXPECT_EQ(Load(Bytes(good.begin(), good.begin() + 140)), nullptr);
  EXPECT_EQ(Load(Bytes(good.begin(), good.begin() + 128)), nullptr);  // header only
}

}  // namespace
}  // namespace pictures
