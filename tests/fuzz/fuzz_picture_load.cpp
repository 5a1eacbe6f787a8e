// libFuzzer target: format detection and dispatch through LoadPicture.
#include <cstddef>
#include <cstdint>

#include "pictures/picture.h"

// Pictures up to 16 MiB of pixels: large enough for every code path, small
// enough that one input never takes seconds under the sanitizers.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  pictures::SetPixelBlockLimit(size_t{16} << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictures::DetectPictureFormat(data, static_cast<int64_t>(size));
  pictures::FreePicture(pictures::LoadPicture(data, static_cast<int64_t>(size)));
  return 0;
}
