#include <gtest/gtest.h>

#include "pictures/detail.h"
#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"

namespace pictures {
namespace {

using namespace testpics;

IconEntry Entry(int size, int bits, int colourByte) {
  IconEntry e;
  e.width = e.height = size;
  e.bits = bits;
  e.colourCountByte = colourByte;
  return e;
}

int Choose(const Bytes& b, IconImage* img = nullptr) {
  IconImage local;
  if (!ChooseIconImage(b.data(), b.size(), img ? img : &local)) return -2;
  return (img ? img : &local)->entry;
}

TEST(IconChoice, ThirtyTwoWideWithSixteenColoursWins) {
  IconImage img;
  EXPECT_EQ(Choose(MakeIco({Entry(16, 4, 16), Entry(32, 4, 16)}), &img), 1);
  EXPECT_EQ(img.format, kIcon);
  EXPECT_EQ(img.width, 32);
  EXPECT_EQ(img.height, 32);  // half the header's height
  EXPECT_EQ(img.bitCount, 4);
  // The first that matches, not the last.
  EXPECT_EQ(Choose(MakeIco({Entry(32, 4, 16), Entry(16, 4, 16), Entry(32, 8, 200)})), 0);
  // Fewer than 16 colours does not qualify; nor does a 256-colour entry
  // (colour byte 0).
  EXPECT_EQ(Choose(MakeIco({Entry(32, 8, 0), Entry(16, 8, 0), Entry(48, 8, 0)}), &img), 2);
  EXPECT_EQ(img.width, 48);
  EXPECT_EQ(Choose(MakeIco({Entry(32, 4, 8), Entry(16, 4, 16)})), 1);
  // Cursors walk the same way.
  EXPECT_EQ(Choose(MakeIco({Entry(16, 32, 0), Entry(32, 32, 16)}, 2), &img), 1);
  EXPECT_EQ(img.format, kCursor);
}

TEST(IconChoice, DirectoryAndImageMustLieInTheData) {
  const Bytes good = MakeIco({Entry(16, 4, 16), Entry(32, 32, 0)});
  ASSERT_EQ(Choose(good), 1);
  auto with32 = [&](size_t at, uint32_t v) {
    Bytes b = good;
    detail::Put32(b.data() + at, v);
    return b;
  };
  const size_t e1 = 6 + 16;
  EXPECT_EQ(Choose(with32(e1 + 12, 0xFFFFFFF0)), -2);              // offset past the end
  EXPECT_EQ(Choose(with32(e1 + 8, 0xFFFFFFFF)), -2);               // size past the end
  EXPECT_EQ(Choose(Bytes(good.begin(), good.end() - 1)), -2);      // image cut
  Bytes count = good;
  detail::Put16(count.data() + 4, 500);                            // directory past the end
  EXPECT_EQ(Choose(count), -2);
  const size_t img = detail::U32(good.data() + e1 + 12);
  EXPECT_EQ(Choose(with32(img + 4, 0x40000000)), -2);              // width beyond the data
  EXPECT_EQ(Choose(with32(img + 8, 0)), -2);                       // no height
  EXPECT_EQ(Choose(with32(img + 0, 0x7FFFFFFF)), -2);              // header size
  Bytes bits = good;
  detail::Put16(bits.data() + img + 14, 7);
  EXPECT_EQ(Choose(bits), -2);
  EXPECT_EQ(Choose(Bytes{0, 0, 1, 0, 0, 0}), -2);
}

TEST(IconChoice, PngImageSizeFromItsHeader) {
  Bytes png = MakePng(40, 24, std::vector<uint8_t>(40 * 24 * 4, 200));
  Bytes ico{0, 0, 1, 0, 1, 0, 40, 24, 0, 0, 1, 0, 32, 0};
  for (uint32_t v : {static_cast<uint32_t>(png.size()), 22u}) ico.insert(ico.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
  ico.insert(ico.end(), png.begin(), png.end());
  IconImage img;
  ASSERT_EQ(Choose(ico, &img), 0);
  EXPECT_TRUE(img.png);
  EXPECT_EQ(img.width, 40);
  EXPECT_EQ(img.height, 24);
}

void* fakeIcon = reinterpret_cast<void*>(0x1234);
void* FakeCreator(const IconImage&) { return fakeIcon; }

TEST(IconLoad, PictureCarriesTheCreatedIcon) {
  const Bytes ico = MakeIco({Entry(16, 4, 16), Entry(32, 4, 16)});
  // No icon handles on this system: no picture.
  EXPECT_EQ(LoadPicture(ico.data(), static_cast<int64_t>(ico.size())), nullptr);
  IconCreator old = SetIconCreator(FakeCreator);
  PictureObject* p = LoadPicture(ico.data(), static_cast<int64_t>(ico.size()));
  SetIconCreator(old);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->format, kIcon);
  EXPECT_EQ(p->width, 32);
  EXPECT_EQ(p->height, 32);
  EXPECT_EQ(p->icon, fakeIcon);
  EXPECT_EQ(p->pixels, nullptr);
  EXPECT_EQ(p->pixelSize, 0);
  FreePicture(p);
}

}  // namespace
}  // namespace pictures
