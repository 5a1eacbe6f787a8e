// libFuzzer target: the PNG decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pictures/picture.h"

volatile unsigned sink;  // keeps the reads of every pixel byte

// Pictures up to 16 MiB of pixels: large enough for every code path, small
// enough that one input never takes seconds under the sanitizers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pictures::SetPixelBlockLimit(size_t{16} << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictures::PictureObject* p = pictures::DecodePng(data, size);
  if (p) {
    // Touch every byte the object claims, so a short block shows up.
    unsigned sum = 0;
    for (int32_t i = 0; i < p->pixelSize; ++i) sum += p->pixels[i];
    sink = sum;
    pictures::FreePicture(p);
  }
  return 0;
}
