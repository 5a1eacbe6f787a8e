#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>

#include "pictures/render_win32.h"
#include "runtime/service.h"
#include "tests/pictures/make_pictures.h"

namespace pictures {
namespace {

using namespace testpics;

struct Freer {
  void operator()(PictureObject* p) const { FreePicture(p); }
};
using Pic = std::unique_ptr<PictureObject, Freer>;
Pic Load(const Bytes& b) { return Pic(LoadPicture(b.data(), static_cast<int64_t>(b.size()))); }

// A memory DC over a 32-bit top-down DIB section, filled with one colour.
class Canvas {
 public:
  Canvas(int w, int h, COLORREF fill) : w_(w), h_(h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    screen_ = GetDC(nullptr);
    dc_ = CreateCompatibleDC(screen_);
    bmp_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0);
    old_ = SelectObject(dc_, bmp_);
    HBRUSH brush = CreateSolidBrush(fill);
    RECT r{0, 0, w, h};
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bmp_);
    DeleteDC(dc_);
    ReleaseDC(nullptr, screen_);
  }
  HDC dc() const { return dc_; }
  Rgb at(int x, int y) const {
    GdiFlush();
    const uint8_t* p = bits_ + (static_cast<size_t>(y) * w_ + x) * 4;
    return {p[2], p[1], p[0]};
  }

 private:
  int w_, h_;
  HDC screen_, dc_;
  HBITMAP bmp_;
  HGDIOBJ old_;
  uint8_t* bits_ = nullptr;
};

Rgb FromRef(COLORREF c) { return {GetRValue(c), GetGValue(c), GetBValue(c)}; }

// The pixels of any bitmap, as 32-bit top-down rows.
std::vector<Rgb> BitmapPixels(HBITMAP bmp, int* w, int* h) {
  BITMAP info{};
  GetObject(bmp, sizeof info, &info);
  *w = info.bmWidth;
  *h = info.bmHeight;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = *w;
  bi.bmiHeader.biHeight = -*h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  std::vector<uint8_t> raw(static_cast<size_t>(*w) * *h * 4);
  HDC screen = GetDC(nullptr);
  GetDIBits(screen, bmp, 0, *h, raw.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  std::vector<Rgb> out;
  for (size_t i = 0; i < raw.size(); i += 4) out.push_back({raw[i + 2], raw[i + 1], raw[i]});
  return out;
}

TEST(Render, PngAlphaOverTheBackground) {
  // Left half alpha 0, right half alpha 255, one column of alpha 128.
  const int w = 6, h = 3;
  std::vector<uint8_t> rgba;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      rgba.insert(rgba.end(), {static_cast<uint8_t>(40 * x), 77, static_cast<uint8_t>(200 - y), static_cast<uint8_t>(x < 3 ? 0 : x == 3 ? 128 : 255)});
  Pic pic = Load(MakePng(w, h, rgba));
  ASSERT_NE(pic, nullptr);
  const COLORREF bg = RGB(10, 220, 130);
  Canvas canvas(w, h, RGB(0, 0, 0));
  DrawPicture(pic.get(), canvas.dc(), 0, 0, -1, -1, bg);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.at(x, y), FromRef(bg)) << x << "," << y;
    for (int x = 4; x < w; ++x) EXPECT_EQ(canvas.at(x, y), (Rgb{uint8_t(40 * x), 77, uint8_t(200 - y)})) << x;
    const double f = 128 / 255.0;
    EXPECT_EQ(canvas.at(3, y).r, static_cast<uint8_t>(f * 120 + (1 - f) * 10));
    EXPECT_EQ(canvas.at(3, y).g, static_cast<uint8_t>(f * 77 + (1 - f) * 220));
  }
}

TEST(Render, BmpAndJpegKeepTheirPixels) {
  const Image img = Pattern(7, 5, 3);
  Pic bmp = Load(MakeBmp24(img, 24));
  ASSERT_NE(bmp, nullptr);
  Canvas canvas(10, 8, RGB(1, 2, 3));
  DrawPicture(bmp.get(), canvas.dc(), 2, 1, -1, -1, 0);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x) ASSERT_EQ(canvas.at(x + 2, y + 1), img.at(x, y)) << x << "," << y;
  EXPECT_EQ(canvas.at(0, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(canvas.at(9, 7), (Rgb{1, 2, 3}));

  const Image grey = Pattern(8, 8, 4);
  Pic jpg = Load(MakeJpeg(grey, /*grey=*/true));
  ASSERT_NE(jpg, nullptr);
  Canvas c2(8, 8, 0);
  DrawPicture(jpg.get(), c2.dc(), 0, 0, -1, -1, 0);
  const Rgb p = c2.at(3, 3);
  EXPECT_EQ(p.r, p.g);
  EXPECT_EQ(p.g, p.b);
  EXPECT_NEAR(p.g, grey.at(3, 3).g, 20);
}

TEST(Render, StretchToTheRequestedSize) {
  Image img;
  img.width = 2;
  img.height = 1;
  img.px = {{255, 0, 0}, {0, 0, 255}};
  Pic pic = Load(MakeBmp24(img));
  ASSERT_NE(pic, nullptr);
  Canvas canvas(8, 4, 0);
  RenderedPicture r;
  ASSERT_EQ(RenderPicture(canvas.dc(), pic.get(), 0, &r), 1);
  EXPECT_EQ(r.width, 2);
  EXPECT_NE(r.bitmap, nullptr);
  DrawRenderedPicture(&r, 0, 0, 8, 4, SRCCOPY);
  ReleaseRenderedPicture(&r);
  EXPECT_EQ(r.bitmap, nullptr);
  EXPECT_EQ(canvas.at(0, 0), (Rgb{255, 0, 0}));
  EXPECT_EQ(canvas.at(7, 3), (Rgb{0, 0, 255}));
}

TEST(Render, GifImageAtTheTopLeftOfTheScreen) {
  const Indexed ix = IndexedPattern(3, 2, 4, 9);
  GifOptions opt;
  opt.gif89 = true;
  opt.screenWidth = 6;
  opt.screenHeight = 5;
  Pic pic = Load(MakeGif(ix, opt));
  ASSERT_NE(pic, nullptr);
  Canvas canvas(6, 5, RGB(9, 9, 9));
  DrawPicture(pic.get(), canvas.dc(), 0, 0, -1, -1, 0);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) EXPECT_EQ(canvas.at(x, y), ix.palette[ix.index[y * 3 + x]]);
  EXPECT_EQ(canvas.at(5, 4), (Rgb{255, 255, 255}));  // outside the image
}

TEST(Render, PcxBothDepths) {
  const Indexed ix8 = IndexedPattern(5, 3, 256, 2);
  Pic p8 = Load(MakePcx8(ix8, true));
  ASSERT_NE(p8, nullptr);
  Canvas c8(5, 3, 0);
  DrawPicture(p8.get(), c8.dc(), 0, 0, -1, -1, 0);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(c8.at(x, y), ix8.palette[ix8.index[y * 5 + x]]);

  const Indexed ix1 = IndexedPattern(19, 4, 2, 5);
  Pic p1 = Load(MakePcx1(ix1));
  ASSERT_NE(p1, nullptr);
  Canvas c1(19, 4, RGB(50, 60, 70));
  DrawPicture(p1.get(), c1.dc(), 0, 0, -1, -1, 0);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 19; ++x)
      EXPECT_EQ(c1.at(x, y), ix1.index[y * 19 + x] ? (Rgb{255, 255, 255}) : (Rgb{0, 0, 0})) << x << "," << y;
}

TEST(Render, NegativeOperationLeavesTheTransparentColourOut) {
  Image img;
  img.width = 3;
  img.height = 1;
  img.px = {{255, 0, 255}, {10, 200, 30}, {255, 0, 255}};
  Pic pic = Load(MakeBmp24(img));
  ASSERT_NE(pic, nullptr);
  Canvas canvas(3, 1, RGB(1, 2, 3));
  SetBkColor(canvas.dc(), RGB(7, 7, 7));
  SetTextColor(canvas.dc(), RGB(8, 8, 8));
  RenderedPicture r;
  ASSERT_EQ(RenderPicture(canvas.dc(), pic.get(), 0, &r), 1);
  DrawRenderedPicture(&r, 0, 0, -1, -1, -static_cast<int32_t>(RGB(255, 0, 255)));
  ReleaseRenderedPicture(&r);
  EXPECT_EQ(canvas.at(0, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(canvas.at(1, 0), (Rgb{10, 200, 30}));
  EXPECT_EQ(canvas.at(2, 0), (Rgb{1, 2, 3}));
  EXPECT_EQ(GetBkColor(canvas.dc()), RGB(7, 7, 7));  // restored
  EXPECT_EQ(GetTextColor(canvas.dc()), RGB(8, 8, 8));
}

IconEntry IconOf(int size, bool transparentCorner) {
  IconEntry e;
  e.width = e.height = size;
  e.bits = 32;
  e.colourCountByte = 16;
  e.transparentCorner = transparentCorner;
  return e;
}

TEST(Icons, LoadChoosesAndDraws) {
  const Bytes ico = MakeIco({IconOf(16, false), IconOf(32, true)});
  Pic pic = Load(ico);
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->format, kIcon);
  EXPECT_EQ(pic->width, 32);
  EXPECT_EQ(pic->height, 32);
  EXPECT_NE(pic->icon, nullptr);
  Canvas canvas(32, 32, RGB(0, 0, 255));
  DrawPicture(pic.get(), canvas.dc(), 0, 0, -1, -1, 0);
  EXPECT_EQ(canvas.at(2, 2), (Rgb{0, 0, 255}));     // transparent: background shows
  EXPECT_EQ(canvas.at(30, 30), (Rgb{200, 30, 40}));  // opaque
  Pic cursor = Load(MakeIco({IconOf(32, false)}, 2));
  ASSERT_NE(cursor, nullptr);
  EXPECT_EQ(cursor->format, kCursor);
}

TEST(Icons, PictureToBitmapShowsTransparencyAsWhite) {
  const Bytes ico = MakeIco({IconOf(32, true)});
  HBITMAP bmp = PictureToBitmap(ico.data(), static_cast<int64_t>(ico.size()));
  ASSERT_NE(bmp, nullptr);
  int w, h;
  const auto px = BitmapPixels(bmp, &w, &h);
  EXPECT_EQ(w, 32);
  EXPECT_EQ(h, 32);
  EXPECT_EQ(px[2 * 32 + 2], (Rgb{255, 255, 255}));
  EXPECT_EQ(px[30 * 32 + 30], (Rgb{200, 30, 40}));
  DeleteObject(bmp);
}

TEST(Requests, PictureToBitmapThroughTheRuntime) {
  InstallPictureRequests();
  // PNG with alpha 0 everywhere: white, since the request always blends
  // over white.
  const Bytes png = MakePng(4, 3, std::vector<uint8_t>(4 * 3 * 4, 0));
  const intptr_t result =
      rt::RuntimeNotify(rt::req::kPictureToBitmap, reinterpret_cast<intptr_t>(png.data()), static_cast<intptr_t>(png.size()));
  ASSERT_NE(result, 0);
  HBITMAP bmp = reinterpret_cast<HBITMAP>(result);
  int w, h;
  const auto px = BitmapPixels(bmp, &w, &h);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(h, 3);
  for (const Rgb& c : px) EXPECT_EQ(c, (Rgb{255, 255, 255}));
  DeleteObject(bmp);
  const Bytes junk(20, 7);
  EXPECT_EQ(rt::RuntimeNotify(rt::req::kPictureToBitmap, reinterpret_cast<intptr_t>(junk.data()), 20), 0);
  EXPECT_EQ(PictureToBitmap(nullptr, 0), nullptr);
}

TEST(Files, LoadPictureFileReadsThroughTheSystem) {
  const Bytes gif = MakeGif(IndexedPattern(4, 4, 4));
  wchar_t dir[MAX_PATH], path[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  GetTempFileNameW(dir, L"pic", 0, path);
  HANDLE f = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written;
  WriteFile(f, gif.data(), static_cast<DWORD>(gif.size()), &written, nullptr);
  CloseHandle(f);
  char narrow[MAX_PATH * 2];
  WideCharToMultiByte(936, 0, path, -1, narrow, sizeof narrow, nullptr, nullptr);
  PictureObject* pic = LoadPictureFile(narrow);
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->format, kGif);
  FreePicture(pic);
  DeleteFileW(path);
  EXPECT_EQ(LoadPictureFile(narrow), nullptr);
  EXPECT_EQ(LoadPictureFile(""), nullptr);
}

}  // namespace
}  // namespace pictures
