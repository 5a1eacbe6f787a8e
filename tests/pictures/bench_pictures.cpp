// Decode time of our picture loader against libjpeg and libpng called
// directly, on pictures made here: a 473 x 256 JPEG and PNG (the size of the
// wizard's banner pictures) and a 4000 x 3000 JPEG (a camera photo).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <jpeglib.h>
#include <png.h>

#include "pictures/picture.h"
#include "tests/pictures/make_pictures.h"

using namespace testpics;

namespace {

// Smooth gradients with a little noise, closer to a photo than the tests'
// patterns (which would compress unrealistically badly or well).
Image Photo(int w, int h) {
  Image img;
  img.width = w;
  img.height = h;
  img.px.resize(static_cast<size_t>(w) * h);
  uint32_t s = 12345;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      s = s * 1664525u + 1013904223u;
      const int n = (s >> 24) & 7;
      img.px[static_cast<size_t>(y) * w + x] = {static_cast<uint8_t>((x * 255 / w + n) & 0xFF),
                                                static_cast<uint8_t>((y * 255 / h + n) & 0xFF),
                                                static_cast<uint8_t>(((x + y) * 128 / (w + h) + 64 + n) & 0xFF)};
    }
  return img;
}

std::vector<uint8_t> RgbaOf(const Image& img) {
  std::vector<uint8_t> v;
  v.reserve(img.px.size() * 4);
  for (size_t i = 0; i < img.px.size(); ++i)
    v.insert(v.end(), {img.px[i].r, img.px[i].g, img.px[i].b, static_cast<uint8_t>(i % 255)});
  return v;
}

void LibjpegDirect(const Bytes& b) {
  jpeg_decompress_struct cinfo;
  jpeg_error_mgr jerr;
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, b.data(), b.size());
  jpeg_read_header(&cinfo, TRUE);
  jpeg_start_decompress(&cinfo);
  const size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
  std::vector<uint8_t> out(stride * cinfo.output_height);
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row[1] = {out.data() + cinfo.output_scanline * stride};
    jpeg_read_scanlines(&cinfo, row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
}

void LibpngDirect(const Bytes& b) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  png_image_begin_read_from_memory(&image, b.data(), b.size());
  image.format = PNG_FORMAT_BGRA;
  std::vector<uint8_t> out(PNG_IMAGE_SIZE(image));
  png_image_finish_read(&image, nullptr, out.data(), 0, nullptr);
}

void Ours(const Bytes& b) {
  pictures::PictureObject* p = pictures::LoadPicture(b.data(), static_cast<int64_t>(b.size()));
  if (!p) {
    std::fprintf(stderr, "decode failed\n");
    std::exit(1);
  }
  pictures::FreePicture(p);
}

double Ms(const std::function<void()>& f) {
  const auto a = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count();
}

double Median(std::vector<double> t) {
  std::sort(t.begin(), t.end());
  return t[t.size() / 2];
}

// The two decoders take turns, so a busy machine slows both alike.
void Row(const char* name, size_t bytes, int reps, const std::function<void()>& ours, const std::function<void()>& direct,
         const char* directName) {
  ours();  // warm-up
  direct();
  std::vector<double> a, b;
  for (int i = 0; i < reps; ++i) {
    a.push_back(Ms(ours));
    b.push_back(Ms(direct));
  }
  const double ma = Median(a), mb = Median(b);
  std::printf("%-20s %9zu %5d %11.3f %11.3f %-9s %7.2f\n", name, bytes, reps, ma, mb, directName, ma / mb);
}

}  // namespace

int main(int argc, char** argv) {
  const int scale = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;  // more repetitions
  const Image banner = Photo(473, 256);
  const Image photo = Photo(4000, 3000);
  const Bytes bannerJpeg = MakeJpeg(banner, false, 90);
  const Bytes bannerPng = MakePng(banner.width, banner.height, RgbaOf(banner));
  const Bytes photoJpeg = MakeJpeg(photo, false, 90);
  std::printf("%-20s %9s %5s %11s %11s %-9s %7s\n", "picture", "bytes", "reps", "ours ms", "direct ms", "direct", "ratio");
  Row("JPEG 473x256", bannerJpeg.size(), 200 * scale, [&] { Ours(bannerJpeg); }, [&] { LibjpegDirect(bannerJpeg); }, "libjpeg");
  Row("PNG 473x256 RGBA", bannerPng.size(), 100 * scale, [&] { Ours(bannerPng); }, [&] { LibpngDirect(bannerPng); }, "libpng");
  Row("JPEG 4000x3000", photoJpeg.size(), 5 * scale, [&] { Ours(photoJpeg); }, [&] { LibjpegDirect(photoJpeg); }, "libjpeg");
  return 0;
}
