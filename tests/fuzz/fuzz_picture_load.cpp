// libFuzzer target: format detection and dispatch through LoadPicture.
#include <cstddef>
#include <cstdint>

#include "pictures/picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  pictures::DetectPictureFormat(data, static_cast<int64_t>(size));
  pictures::FreePicture(pictures::LoadPicture(data, static_cast<int64_t>(size)));
  return 0;
}
