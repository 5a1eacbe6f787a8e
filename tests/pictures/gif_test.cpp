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

void ExpectIndexed(const PictureObject& p, const Indexed& ix) {
  for (int y = 0; y < ix.height; ++y)
    for (int x = 0; x < ix.width; ++x)
      ASSERT_EQ(PixelOf(p, x, y), ix.palette[ix.index[y * ix.width + x]]) << x << "," << y;
}

int32_t DibWidth(const PictureObject& p) { return detail::I32(p.pixels + 4); }
int32_t DibHeight(const PictureObject& p) { return detail::I32(p.pixels + 8); }

TEST(Gif, Gif87aAnd89aDecodeExactly) {
  for (bool gif89 : {false, true}) {
    for (int colours : {2, 4, 16, 256}) {
      const Indexed ix = IndexedPattern(23, 17, colours, colours);
      GifOptions opt;
      opt.gif89 = gif89;
      Pic p = Load(MakeGif(ix, opt));
      ASSERT_NE(p, nullptr) << gif89 << " " << colours;
      EXPECT_EQ(p->format, kGif);
      EXPECT_EQ(p->width, 23);
      EXPECT_EQ(p->height, 17);
      EXPECT_EQ(DibWidth(*p), 23);
      EXPECT_EQ(DibHeight(*p), -17);  // top-down
      EXPECT_EQ(p->pixelSize, static_cast<int32_t>(kDibPixelsOffset + 24 * 17));
      ExpectIndexed(*p, ix);
    }
  }
}

TEST(Gif, LongStreamFillsTheCodeTable) {
  // 300 x 200 of 256 colours: the 4096-entry table fills and is cleared.
  const Indexed ix = IndexedPattern(300, 200, 256, 77);
  Pic p = Load(MakeGif(ix));
  ASSERT_NE(p, nullptr);
  ExpectIndexed(*p, ix);
}

TEST(Gif, InterlacedEqualsPlainTwin) {
  for (int h : {1, 2, 3, 5, 8, 9, 17, 32}) {
    const Indexed ix = IndexedPattern(11, h, 16, h);
    GifOptions plain, inter;
    inter.interlaced = true;
    Pic a = Load(MakeGif(ix, plain)), b = Load(MakeGif(ix, inter));
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(a->pixelSize, b->pixelSize);
    EXPECT_EQ(0, std::memcmp(a->pixels, b->pixels, a->pixelSize)) << h;
    ExpectIndexed(*b, ix);
  }
}

TEST(Gif, LocalTableAndSmallerImageOnTheScreen) {
  const Indexed ix = IndexedPattern(5, 4, 8, 3);
  GifOptions opt;
  opt.gif89 = true;
  opt.localTable = true;
  opt.screenWidth = 12;
  opt.screenHeight = 9;
  Pic p = Load(MakeGif(ix, opt));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->width, 12);
  EXPECT_EQ(p->height, 9);
  EXPECT_EQ(DibWidth(*p), 5);
  EXPECT_EQ(DibHeight(*p), -4);
  ExpectIndexed(*p, ix);
}

TEST(Gif, BlocksBeforeTheImage) {
  const Indexed ix = IndexedPattern(4, 4, 4, 1);
  GifOptions opt;
  opt.gif89 = true;
  const Bytes good = MakeGif(ix, opt);
  const size_t ext = 13 + 4 * 3;  // first extension after the 4-entry table
  ASSERT_EQ(good[ext], '!');
  Bytes unknown = good;
  unknown[ext + 1] = 0x77;
  EXPECT_EQ(Load(unknown), nullptr);
  Bytes trailer = good;
  trailer[ext] = ';';
  EXPECT_EQ(Load(trailer), nullptr);
  Bytes zero = good;
  zero[ext] = 0;
  EXPECT_EQ(Load(zero), nullptr);
  Bytes longBlock = good;
  longBlock[ext + 2] = 250;  // runs past the end
  EXPECT_EQ(Load(Bytes(longBlock.begin(), longBlock.begin() + ext + 40)), nullptr);
  Bytes table = good;
  EXPECT_EQ(Load(Bytes(table.begin(), table.begin() + 14)), nullptr);  // table cut
}

// A GIF around a hand-made LZW stream: 4 x 1 pixels, 4 colours, code size 2
// (3-bit codes), codes given in order.
Bytes GifWithCodes(const std::vector<unsigned>& codes, int bits = 3) {
  Bytes b{'G', 'I', 'F', '8', '7', 'a', 4, 0, 1, 0, 0x81, 0, 0};
  for (int i = 0; i < 4; ++i) b.insert(b.end(), {uint8_t(i * 60), uint8_t(i * 60), uint8_t(i * 60)});
  b.insert(b.end(), {',', 0, 0, 0, 0, 4, 0, 1, 0, 0, 2});
  Bytes packed;
  uint32_t acc = 0;
  int n = 0;
  for (unsigned c : codes) {
    acc |= c << n;
    n += bits;
    while (n >= 8) { packed.push_back(acc & 0xFF); acc >>= 8; n -= 8; }
  }
  if (n) packed.push_back(acc & 0xFF);
  b.push_back(static_cast<uint8_t>(packed.size()));
  b.insert(b.end(), packed.begin(), packed.end());
  b.insert(b.end(), {0, ';'});
  return b;
}

uint8_t IndexAt(const PictureObject& p, int x) { return p.pixels[kDibPixelsOffset + x]; }

TEST(Gif, CodesOutsideTheTableStopTheImage) {
  // clear, 1, then 7: the table holds 6 entries (next free is 6), so 7 is
  // undefined. The picture keeps what came before it.
  Pic p = Load(GifWithCodes({4, 1, 7, 2, 2, 5}));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(IndexAt(*p, 0), 1);
  EXPECT_EQ(IndexAt(*p, 1), 0);
  // A string code before any string was defined.
  Pic q = Load(GifWithCodes({4, 6, 1, 1, 1, 5}));
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(IndexAt(*q, 0), 0);
  // The not-yet-defined code (KwKwK): 1, then 6 = "1 1" → 1 1 1.
  Pic k = Load(GifWithCodes({4, 1, 6, 5}));
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(IndexAt(*k, 0), 1);
  EXPECT_EQ(IndexAt(*k, 1), 1);
  EXPECT_EQ(IndexAt(*k, 2), 1);
  EXPECT_EQ(IndexAt(*k, 3), 0);
}

TEST(Gif, TruncatedOrHostileDataNeverOverruns) {
  const Indexed ix = IndexedPattern(40, 30, 16, 8);
  const Bytes good = MakeGif(ix);
  for (size_t cut = 13; cut < good.size(); cut += 3) Load(Bytes(good.begin(), good.begin() + cut));
  // Data of all-ones codes: 12-bit code 4095 again and again.
  Bytes ones = good;
  for (size_t i = 13 + 16 * 3 + 11; i < ones.size() - 1; ++i)
    if (ones[i] != 0 && (i - (13 + 16 * 3 + 11)) % 256 != 0) ones[i] = 0xFF;
  Load(ones);
  // Code size byte out of range.
  Bytes size = good;
  size[13 + 16 * 3 + 10] = 12;
  EXPECT_EQ(Load(size), nullptr);
  // A 65535 x 65535 image asks for 4 GiB.
  Bytes huge = good;
  const size_t desc = 13 + 16 * 3;
  huge[desc + 5] = huge[desc + 6] = huge[desc + 7] = huge[desc + 8] = 0xFF;
  EXPECT_EQ(Load(huge), nullptr);
}

}  // namespace
}  // namespace pictures
