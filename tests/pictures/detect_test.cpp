#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "gbk/picture_texts.h"
#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"

namespace pictures {
namespace {

using testpics::Bytes;

PictureFormat Detect(const Bytes& b) { return DetectPictureFormat(b.data(), static_cast<int64_t>(b.size())); }

TEST(DetectPictureFormat, SignaturesInOrder) {
  EXPECT_EQ(Detect({'B', 'M', 0, 0, 0}), kNotPicture);  // fewer than 6 bytes
  EXPECT_EQ(Detect({'B', 'M', 0, 0, 0, 0}), kBmp);
  EXPECT_EQ(Detect({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}), kJpeg);
  EXPECT_EQ(Detect({0x89, 'P', 'N', 'G', 13, 10}), kPng);
  EXPECT_EQ(Detect({0, 0, 1, 0, 1, 0}), kIcon);
  EXPECT_EQ(Detect({0, 0, 2, 0, 3, 0}), kCursor);
  EXPECT_EQ(Detect({0, 0, 1, 0, 0, 0}), kNotPicture);  // no images
  EXPECT_EQ(Detect({0, 0, 3, 0, 1, 0}), kNotPicture);
  EXPECT_EQ(Detect({'G', 'I', 'F', '8', '7', 'a'}), kGif);
  EXPECT_EQ(Detect({'G', 'I', 'F', '8', '9', 'a'}), kGif);
  EXPECT_EQ(Detect({'G', 'I', 'F', '8', '8', 'a'}), kNotPicture);
  EXPECT_EQ(Detect({10, 5, 1, 8, 0, 0}), kPcx8);
  EXPECT_EQ(Detect({10, 6, 1, 8, 0, 0}), kNotPicture);
  EXPECT_EQ(Detect({10, 3, 1, 1, 0, 0}), kPcx1);
  EXPECT_EQ(Detect({10, 5, 1, 1, 0, 0}), kNotPicture);  // 1-bit only as version 3
  EXPECT_EQ(Detect({10, 5, 0, 8, 0, 0}), kNotPicture);
  EXPECT_EQ(DetectPictureFormat(nullptr, 100), kNotPicture);
}

TEST(LoadPicture, NoPictureForEmptyShortOrUnknownInput) {
  const Bytes six{'B', 'M', 0, 0, 0, 0};
  EXPECT_EQ(LoadPicture(six.data(), 6), nullptr);
  EXPECT_EQ(LoadPicture(nullptr, 100), nullptr);
  EXPECT_EQ(LoadPicture(six.data(), 0), nullptr);
  EXPECT_EQ(LoadPicture(six.data(), -5), nullptr);
  const Bytes text{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'};
  EXPECT_EQ(LoadPicture(text.data(), static_cast<int64_t>(text.size())), nullptr);
  FreePicture(nullptr);  // ignored
}

TEST(BlendOverBackground, AlphaZeroGivesBackgroundAndFullKeepsColour) {
  // blue, green, red, alpha
  uint8_t px[] = {10, 20, 30, 0, 10, 20, 30, 255, 200, 100, 50, 128, 255, 255, 255, 1};
  BlendOverBackground(px, 4, 0x00336699);  // red 0x99, green 0x66, blue 0x33
  EXPECT_EQ((std::vector<int>{px[0], px[1], px[2], px[3]}), (std::vector<int>{0x33, 0x66, 0x99, 0}));
  EXPECT_EQ((std::vector<int>{px[4], px[5], px[6], px[7]}), (std::vector<int>{10, 20, 30, 255}));
  // a = 128: 128/255 * c + (1 - 128/255) * bg, truncated.
  auto mix = [](double c, double bg) { return static_cast<int>(128 / 255.0 * c + (1 - 128 / 255.0) * bg); };
  EXPECT_EQ(px[8], mix(200, 0x33));
  EXPECT_EQ(px[9], mix(100, 0x66));
  EXPECT_EQ(px[10], mix(50, 0x99));
  EXPECT_EQ(px[12], static_cast<int>(1 / 255.0 * 255 + (1 - 1 / 255.0) * 0x33));
}

TEST(PadRows24, RowsPaddedToFourBytes) {
  EXPECT_EQ(PaddedRowSize(1), 4u);
  EXPECT_EQ(PaddedRowSize(4), 12u);
  EXPECT_EQ(PaddedRowSize(5), 16u);
  const uint8_t src[] = {1, 2, 3, 4, 5, 6};  // 1 x 2
  uint8_t dst[8];
  std::memset(dst, 0xEE, sizeof dst);
  PadRows24(src, 1, 2, dst);
  const uint8_t want[] = {1, 2, 3, 0, 4, 5, 6, 0};
  EXPECT_EQ(0, std::memcmp(dst, want, 8));
}

TEST(PictureTexts, FileFilterIsGbk) {
  const std::string filter = gbk::PictureFileFilter;
  EXPECT_EQ(filter.substr(0, 4), "\xCB\xF9\xD3\xD0");  // 所有
  EXPECT_EQ(filter.substr(filter.size() - 6), "|*.*||");
}

TEST(LoadPictureFile, ReadsAWholeFile) {
  const Bytes bmp = testpics::MakeBmp24(testpics::Pattern(3, 2));
  char path[] = "/tmp/pictures_test_XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(write(fd, bmp.data(), bmp.size()), static_cast<ssize_t>(bmp.size()));
  close(fd);
  PictureObject* pic = LoadPictureFile(path);
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->format, kBmp);
  EXPECT_EQ(pic->width, 3);
  FreePicture(pic);
  unlink(path);
  EXPECT_EQ(LoadPictureFile(path), nullptr);
  EXPECT_EQ(LoadPictureFile(""), nullptr);
  EXPECT_EQ(LoadPictureFile(nullptr), nullptr);
}

}  // namespace
}  // namespace pictures
