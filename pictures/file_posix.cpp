// LoadPictureFile on systems with C stdio.
#include <cstdio>
#include <vector>

#include "pictures/picture.h"

namespace pictures {

PictureObject* LoadPictureFile(const char* path) {
  if (!path || !*path) return nullptr;
  std::FILE* f = std::fopen(path, "rb");
  if (!f) return nullptr;
  std::vector<uint8_t> bytes;
  uint8_t buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    // A file larger than any picture this loader accepts is not read whole.
    if (bytes.size() + n > kMaxPixelBlock) {
      std::fclose(f);
      return nullptr;
    }
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  std::fclose(f);
  return LoadPicture(bytes.data(), static_cast<int64_t>(bytes.size()));
}

}  // namespace pictures
