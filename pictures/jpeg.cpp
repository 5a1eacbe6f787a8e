// JPEG through libjpeg (the jpeg62 interface). Errors come back to the decoder
// through setjmp/longjmp instead of ending the process.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include <jpeglib.h>
#include <jerror.h>

#include "pictures/detail.h"
#include "pictures/picture.h"

namespace pictures {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
};

void OnError(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  std::longjmp(err->jump, 1);
}
void OnMessage(j_common_ptr) {}  // warnings stay silent

// A source over the caller's bytes. Running out of data inserts an end-of-image
// marker so that a truncated file ends decoding instead of waiting for more.
void InitSource(j_decompress_ptr) {}
boolean FillInput(j_decompress_ptr cinfo) {
  static const JOCTET kEoi[2] = {0xFF, JPEG_EOI};
  WARNMS(cinfo, JWRN_JPEG_EOF);
  cinfo->src->next_input_byte = kEoi;
  cinfo->src->bytes_in_buffer = 2;
  return TRUE;
}
void SkipInput(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr* src = cinfo->src;
  while (static_cast<unsigned long>(count) > src->bytes_in_buffer) {
    count -= static_cast<long>(src->bytes_in_buffer);
    FillInput(cinfo);
  }
  src->next_input_byte += count;
  src->bytes_in_buffer -= static_cast<size_t>(count);
}
void TermSource(j_decompress_ptr) {}

// A progressive file can hold any number of scans, each a pass over the whole
// picture; a few hundred bytes could keep the decoder busy for minutes.
constexpr int kMaxScans = 500;
void OnProgress(j_common_ptr cinfo) {
  auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (d->input_scan_number > kMaxScans) OnError(cinfo);
}

// Everything that longjmp may skip over lives in this struct, outside the
// function that calls setjmp, so no local is left indeterminate.
struct JpegState {
  jpeg_decompress_struct cinfo;
  ErrorManager err;
  jpeg_source_mgr src;
  jpeg_progress_mgr progress;
  PictureObject* picture = nullptr;
  JSAMPLE* row = nullptr;
};

bool Run(JpegState& s, const uint8_t* data, size_t size) {
  if (setjmp(s.err.jump)) return false;
  jpeg_create_decompress(&s.cinfo);
  s.src.init_source = InitSource;
  s.src.fill_input_buffer = FillInput;
  s.src.skip_input_data = SkipInput;
  s.src.resync_to_restart = jpeg_resync_to_restart;
  s.src.term_source = TermSource;
  s.src.next_input_byte = data;
  s.src.bytes_in_buffer = size;
  s.cinfo.src = &s.src;
  s.progress.progress_monitor = OnProgress;
  s.cinfo.progress = &s.progress;
  if (jpeg_read_header(&s.cinfo, TRUE) != JPEG_HEADER_OK) return false;
  // Refuse an oversized picture before libjpeg allocates anything for it.
  const size_t block = detail::BlockSize(uint64_t{s.cinfo.image_width} * 3, s.cinfo.image_height);
  if (block == 0 || s.cinfo.image_width > INT32_MAX || s.cinfo.image_height > INT32_MAX) return false;
  const bool grey = s.cinfo.out_color_space == JCS_GRAYSCALE;
#ifdef JCS_EXTENSIONS
  // libjpeg-turbo writes blue, green, red directly; the rows land bottom-up.
  if (!grey && s.cinfo.out_color_space == JCS_RGB) s.cinfo.out_color_space = JCS_EXT_BGR;
#endif
  jpeg_start_decompress(&s.cinfo);
  const uint32_t w = s.cinfo.output_width, h = s.cinfo.output_height;
  const int comps = s.cinfo.output_components;
  if (detail::BlockSize(uint64_t{w} * 3, h) != block) return false;
  s.picture = detail::NewPicture(kJpeg, static_cast<int32_t>(w), static_cast<int32_t>(h), block);
  if (!s.picture) return false;
  s.row = static_cast<JSAMPLE*>(std::malloc(static_cast<size_t>(w) * (comps > 0 ? comps : 1)));
  if (!s.row) return false;
  const size_t stride = static_cast<size_t>(w) * 3;
  while (s.cinfo.output_scanline < h) {
    uint8_t* dst = s.picture->pixels + (h - 1 - s.cinfo.output_scanline) * stride;
    JSAMPROW rows[1] = {s.row};
    if (jpeg_read_scanlines(&s.cinfo, rows, 1) != 1) return false;
    if (comps == 3) {
#ifdef JCS_EXTENSIONS
      const bool bgr = s.cinfo.out_color_space == JCS_EXT_BGR;
#else
      const bool bgr = false;
#endif
      if (bgr) {
        std::memcpy(dst, s.row, stride);
      } else {
        for (uint32_t x = 0; x < w; ++x) {
          dst[x * 3 + 0] = s.row[x * 3 + 2];
          dst[x * 3 + 1] = s.row[x * 3 + 1];
          dst[x * 3 + 2] = s.row[x * 3 + 0];
        }
      }
    } else if (comps == 1) {
      for (uint32_t x = 0; x < w; ++x) dst[x * 3] = dst[x * 3 + 1] = dst[x * 3 + 2] = s.row[x];
    }
    // Other component counts (CMYK) leave the row as allocated (zeros).
  }
  jpeg_finish_decompress(&s.cinfo);
  return true;
}

}  // namespace

PictureObject* DecodeJpeg(const uint8_t* data, size_t size) {
  if (!data || size < 2) return nullptr;
  auto* s = new (std::nothrow) JpegState;
  if (!s) return nullptr;
  std::memset(&s->cinfo, 0, sizeof s->cinfo);
  s->cinfo.err = jpeg_std_error(&s->err.pub);
  s->err.pub.error_exit = OnError;
  s->err.pub.output_message = OnMessage;
  const bool ok = Run(*s, data, size);
  jpeg_destroy_decompress(&s->cinfo);
  std::free(s->row);
  PictureObject* result = s->picture;
  if (!ok) {
    FreePicture(result);
    result = nullptr;
  }
  delete s;
  return result;
}

}  // namespace pictures
