// Writes small valid pictures of every kind as seed inputs for the picture
// fuzz targets: seed_pictures <corpus-root> puts them in <root>/fuzz_picture_*.
#include <cstdio>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "tests/pictures/make_pictures.h"

using namespace testpics;

namespace {
void Write(const std::string& root, const char* target, const std::string& name, const Bytes& b) {
  const std::string dir = root + "/" + target;
  mkdir(dir.c_str(), 0755);
  if (std::FILE* f = std::fopen((dir + "/" + name).c_str(), "wb")) {
    std::fwrite(b.data(), 1, b.size(), f);
    std::fclose(f);
  }
}
void Both(const std::string& root, const char* target, const std::string& name, const Bytes& b) {
  Write(root, target, name, b);
  Write(root, "fuzz_picture_load", name, b);
}
}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const std::string root = argv[1];
  mkdir(root.c_str(), 0755);
  const Image img = Pattern(13, 7);
  Both(root, "fuzz_picture_bmp", "seed_24", MakeBmp24(img));
  Both(root, "fuzz_picture_bmp", "seed_32", MakeBmp24(img, 32, true));
  for (int bits : {1, 4, 8}) Both(root, "fuzz_picture_bmp", "seed_i" + std::to_string(bits), MakeBmpIndexed(IndexedPattern(9, 5, 1 << bits), bits));
  Both(root, "fuzz_picture_jpeg", "seed_rgb", MakeJpeg(img));
  Both(root, "fuzz_picture_jpeg", "seed_grey", MakeJpeg(img, true));
  Both(root, "fuzz_picture_jpeg", "seed_prog", MakeJpeg(img, false, 80, true));
  std::vector<uint8_t> rgba(8 * 6 * 4);
  for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<uint8_t>(i * 7);
  Both(root, "fuzz_picture_png", "seed_rgba", MakePng(8, 6, rgba));
  Both(root, "fuzz_picture_png", "seed_ga", MakePng(8, 6, rgba, true));
  GifOptions g89;
  g89.gif89 = true;
  GifOptions inter;
  inter.interlaced = true;
  inter.localTable = true;
  Both(root, "fuzz_picture_gif", "seed_87", MakeGif(IndexedPattern(11, 6, 16)));
  Both(root, "fuzz_picture_gif", "seed_89", MakeGif(IndexedPattern(20, 9, 256), g89));
  Both(root, "fuzz_picture_gif", "seed_inter", MakeGif(IndexedPattern(7, 10, 4), inter));
  Both(root, "fuzz_picture_pcx", "seed_8", MakePcx8(IndexedPattern(9, 4, 256), true));
  Both(root, "fuzz_picture_pcx", "seed_8n", MakePcx8(IndexedPattern(9, 4, 256), false));
  Both(root, "fuzz_picture_pcx", "seed_1", MakePcx1(IndexedPattern(17, 4, 2)));
  IconEntry small, big;
  small.width = small.height = 16;
  small.bits = 4;
  small.colourCountByte = 16;
  big.transparentCorner = true;
  Both(root, "fuzz_picture_ico", "seed_ico", MakeIco({small, big}));
  Both(root, "fuzz_picture_ico", "seed_cur", MakeIco({big}, 2));
  return 0;
}
