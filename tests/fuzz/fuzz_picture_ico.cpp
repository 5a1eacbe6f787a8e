// libFuzzer target: the icon directory walk and image checks, with an icon
// creator that reads every byte it is handed (as the system would).
#include <cstddef>
#include <cstdint>

#include "pictures/picture.h"

volatile unsigned sink;  // keeps the reads of every pixel byte

namespace {
void* ReadingCreator(const pictures::IconImage& image) {
  unsigned sum = 0;
  for (size_t i = 0; i < image.size; ++i) sum += image.bytes[i];
  sink = sum;
  return (image.width & 1) ? reinterpret_cast<void*>(1) : nullptr;
}
}  // namespace

// Pictures up to 16 MiB of pixels: large enough for every code path, small
// enough that one input never takes seconds under the sanitizers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pictures::SetPixelBlockLimit(size_t{16} << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const pictures::IconCreator previous = pictures::SetIconCreator(ReadingCreator);
  (void)previous;
  pictures::FreePicture(pictures::DecodeIcon(data, size));
  return 0;
}
