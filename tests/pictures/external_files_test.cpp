// Files from other encoders (tests/data/pictures) decode to the pixels of the
// netpbm pictures they were made from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>

#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"
#include "tests/pictures/picture_view.h"

namespace pictures {
namespace {

using namespace testpics;

Bytes ReadData(const std::string& name) {
  const char* dir = std::getenv("SETUP_TEST_DATA");
  std::ifstream f(std::string(dir ? dir : "tests/data") + "/pictures/" + name, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), {});
}

// P6 (colour) or P4 (bitmap, 1 = black) into an Image.
Image ReadNetpbm(const std::string& name) {
  const Bytes b = ReadData(name);
  std::string head(b.begin(), b.begin() + std::min<size_t>(b.size(), 32));
  std::istringstream in(head);
  std::string magic;
  int w, h, max = 1;
  in >> magic >> w >> h;
  if (magic == "P6") in >> max;
  const size_t start = static_cast<size_t>(in.tellg()) + 1;
  Image img;
  img.width = w;
  img.height = h;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      if (magic == "P6") {
        const uint8_t* p = &b[start + (static_cast<size_t>(y) * w + x) * 3];
        img.px.push_back({p[0], p[1], p[2]});
      } else {
        const bool black = b[start + static_cast<size_t>(y) * ((w + 7) / 8) + x / 8] & (0x80 >> (x % 8));
        img.px.push_back(black ? Rgb{0, 0, 0} : Rgb{255, 255, 255});
      }
    }
  return img;
}

struct Freer {
  void operator()(PictureObject* p) const { FreePicture(p); }
};
using Pic = std::unique_ptr<PictureObject, Freer>;

void ExpectPicture(const PictureObject* p, const Image& want, const std::string& name) {
  ASSERT_NE(p, nullptr) << name;
  ASSERT_EQ(p->width, want.width) << name;
  ASSERT_EQ(p->height, want.height) << name;
  for (int y = 0; y < want.height; ++y)
    for (int x = 0; x < want.width; ++x) ASSERT_EQ(PixelOf(*p, x, y), want.at(x, y)) << name << " " << x << "," << y;
}

TEST(OtherEncoders, GifBmpAndPcxMatchTheirSource) {
  const Image pattern = ReadNetpbm("pattern.ppm");
  ASSERT_EQ(pattern.width, 61);
  for (const char* name : {"netpbm-plain.gif", "netpbm-interlaced.gif", "magick-plain.gif", "magick-interlaced.gif",
                           "netpbm-8bit.pcx", "magick-8bit.pcx", "magick-8bit.bmp", "magick-24bit.bmp"}) {
    const Bytes b = ReadData(name);
    Pic p(LoadPicture(b.data(), static_cast<int64_t>(b.size())));
    ExpectPicture(p.get(), pattern, name);
  }
}

TEST(OtherEncoders, OneBitPcx) {
  const Image mono = ReadNetpbm("mono.pbm");
  Bytes b = ReadData("netpbm-1bit.pcx");
  ASSERT_GT(b.size(), 128u);
  // Written as version 5, which the format test only takes as 8 bits.
  EXPECT_EQ(LoadPicture(b.data(), static_cast<int64_t>(b.size())), nullptr);
  Pic direct(DecodePcx(b.data(), b.size()));
  ExpectPicture(direct.get(), mono, "netpbm-1bit.pcx");
  b[1] = 3;
  Pic v3(LoadPicture(b.data(), static_cast<int64_t>(b.size())));
  ASSERT_NE(v3, nullptr);
  EXPECT_EQ(v3->format, kPcx1);
  ExpectPicture(v3.get(), mono, "netpbm-1bit.pcx (version 3)");
}

TEST(OtherEncoders, IconOfThreeTrueColourSizes) {
  // 48, 32 and 16 pixels, all 32-bit (colour count byte 0): none qualifies,
  // so the last image is shown; its bytes pass the completeness checks.
  const Bytes b = ReadData("magick-multi.ico");
  IconImage image;
  ASSERT_TRUE(ChooseIconImage(b.data(), b.size(), &image));
  EXPECT_EQ(image.entry, 2);
  EXPECT_EQ(image.width, 16);
  EXPECT_EQ(image.height, 16);
  EXPECT_EQ(image.bitCount, 32);
  EXPECT_FALSE(image.png);
}

}  // namespace
}  // namespace pictures
