// libFuzzer target: the PCX decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "pictures/picture.h"

volatile unsigned sink;  // keeps the reads of every pixel byte

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictures::PictureObject* p = pictures::DecodePcx(data, size);
  if (p) {
    // Touch every byte the object claims, so a short block shows up.
    unsigned sum = 0;
    for (int32_t i = 0; i < p->pixelSize; ++i) sum += p->pixels[i];
    sink = sum;
    pictures::FreePicture(p);
  }
  return 0;
}
