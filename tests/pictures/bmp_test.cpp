#include <gtest/gtest.h>

#include <memory>

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

void ExpectSame(const PictureObject& p, const Image& img, bool flipped = false) {
  ASSERT_EQ(p.width, img.width);
  ASSERT_EQ(p.height, img.height);
  for (int y = 0; y < img.height; ++y)
    for (int x = 0; x < img.width; ++x)
      ASSERT_EQ(PixelOf(p, x, y), img.at(x, flipped ? img.height - 1 - y : y)) << x << "," << y;
}

Image FromIndexed(const Indexed& ix) {
  Image img;
  img.width = ix.width;
  img.height = ix.height;
  for (uint8_t i : ix.index) img.px.push_back(ix.palette[i]);
  return img;
}

TEST(Bmp, TrueColourPixelsExactAndBottomUp) {
  for (int bits : {24, 32}) {
    for (int w : {1, 2, 3, 7, 16}) {
      const Image img = Pattern(w, 5, w + bits);
      Pic p = Load(MakeBmp24(img, bits));
      ASSERT_NE(p, nullptr) << bits << " " << w;
      EXPECT_EQ(p->format, kBmp);
      EXPECT_EQ(p->pixelSize, w * 5 * 3);
      ExpectSame(*p, img);
    }
  }
}

TEST(Bmp, NegativeHeightShowsUpsideDown) {
  const Image img = Pattern(6, 4);
  Pic p = Load(MakeBmp24(img, 24, /*topDown=*/true));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->height, 4);
  ExpectSame(*p, img, /*flipped=*/true);
}

TEST(Bmp, IndexedPixelsThroughTheTable) {
  for (int bits : {1, 4, 8}) {
    for (int w : {1, 5, 9, 33}) {
      const Indexed ix = IndexedPattern(w, 3, 1 << bits, bits * 100 + w);
      Pic p = Load(MakeBmpIndexed(ix, bits));
      ASSERT_NE(p, nullptr) << bits << " " << w;
      ExpectSame(*p, FromIndexed(ix));
    }
  }
  // A shorter table through the colours-used field.
  const Indexed ix = IndexedPattern(10, 4, 5, 7);
  Pic p = Load(MakeBmpIndexed(ix, 8, 5));
  ASSERT_NE(p, nullptr);
  ExpectSame(*p, FromIndexed(ix));
}

TEST(Bmp, IndexBeyondTheTableIsBlackNotARead) {
  Indexed ix = IndexedPattern(4, 1, 4, 3);
  ix.index = {0, 1, 200, 3};
  Bytes b = MakeBmpIndexed(ix, 8, 4);
  Pic p = Load(b);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(PixelOf(*p, 2, 0), (Rgb{0, 0, 0}));
  EXPECT_EQ(PixelOf(*p, 3, 0), ix.palette[3]);
}

TEST(Bmp, UnsupportedOrInconsistentHeadersGiveNothing) {
  const Bytes good = MakeBmp24(Pattern(4, 4));
  auto with = [&](size_t at, uint32_t v) {
    Bytes b = good;
    detail::Put32(b.data() + at, v);
    return b;
  };
  EXPECT_EQ(Load(with(30, 1)), nullptr);                   // compressed
  Bytes b16 = good;
  detail::Put16(b16.data() + 28, 16);
  EXPECT_EQ(Load(b16), nullptr);                           // 16 bits
  EXPECT_EQ(Load(with(10, 40)), nullptr);                  // pixels inside the header
  EXPECT_EQ(Load(with(10, 0xFFFFFFF0)), nullptr);          // pixels past the end
  EXPECT_EQ(Load(with(18, 0)), nullptr);                   // no width
  EXPECT_EQ(Load(with(18, 0x7FFFFFFF)), nullptr);          // rows past the data
  EXPECT_EQ(Load(with(22, 0x80000000)), nullptr);          // |INT_MIN|
  EXPECT_EQ(Load(with(18, 20000)), nullptr);               // width x height past the data
  EXPECT_EQ(Load(with(14, 12)), nullptr);                  // old core header
  EXPECT_EQ(Load(Bytes(good.begin(), good.end() - 1)), nullptr);  // last row cut
  Bytes ix = MakeBmpIndexed(IndexedPattern(4, 4, 16), 4);
  detail::Put32(ix.data() + 46, 0x40000001);               // table larger than the file
  EXPECT_EQ(Load(ix), nullptr);
}

TEST(Bmp, PixelBlockLimit) {
  // 10000 x 9000 x 3 bytes is above 256 MiB even though the data would be
  // there for a 1-bit file of that size (11.3 MB).
  Indexed ix;
  ix.width = 10000;
  ix.height = 9000;
  ix.palette = {{0, 0, 0}, {255, 255, 255}};
  ix.index.assign(static_cast<size_t>(ix.width) * ix.height, 1);
  EXPECT_EQ(Load(MakeBmpIndexed(ix, 1)), nullptr);
}

}  // namespace
}  // namespace pictures
