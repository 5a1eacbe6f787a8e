// PNG through libpng's simplified reading interface, as 8-bit straight BGRA.
#include <cstring>

#include <png.h>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {

PictureObject* DecodePng(const uint8_t* data, size_t size) {
  if (!data || size < 8) return nullptr;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, data, size)) {
    png_image_free(&image);
    return nullptr;
  }
  image.format = PNG_FORMAT_BGRA;
  const size_t block = detail::BlockSize(uint64_t{image.width} * 4, image.height);
  PictureObject* pic = nullptr;
  if (block != 0 && image.width <= INT32_MAX && image.height <= INT32_MAX)
    pic = detail::NewPicture(kPng, static_cast<int32_t>(image.width), static_cast<int32_t>(image.height), block);
  if (pic && !png_image_finish_read(&image, nullptr, pic->pixels, 0, nullptr)) {
    FreePicture(pic);
    pic = nullptr;
  }
  png_image_free(&image);
  return pic;
}

}  // namespace pictures
