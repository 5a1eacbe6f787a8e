// DecompressData: a compressed block is a little-endian magic, the stored
// uncompressed size and a zlib stream. The stored size only bounds the output
// (at most twice that many bytes); the result is as long as the stream really
// inflates to. Every failure gives the empty byte set and nothing else.
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "libs/data/data_library.h"
#include "runtime/value.h"

namespace datalib {
namespace {

rt::LibraryLink g_link;

uint32_t ReadLE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

// Inflates into a buffer that grows as output arrives, up to the capacity the
// header allows. A hostile size field therefore costs no memory up front; the
// result is the same as inflating into one buffer of that capacity.
bool Inflate(const uint8_t* in, size_t n, size_t capacity, std::vector<uint8_t>& out) {
  z_stream z;
  std::memset(&z, 0, sizeof z);
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(in);
  z.avail_in = static_cast<uInt>(n);
  size_t chunk = capacity < (1u << 20) ? capacity : (1u << 20);
  bool ok = false;
  try {
    for (;;) {
      const size_t have = out.size();
      const size_t room = capacity - have;
      if (room == 0) break;  // full and the stream has not ended: too long
      const size_t grow = room < chunk ? room : chunk;
      out.resize(have + grow);
      z.next_out = out.data() + have;
      z.avail_out = static_cast<uInt>(grow);
      const int rc = inflate(&z, Z_NO_FLUSH);
      out.resize(have + (grow - z.avail_out));
      if (rc == Z_STREAM_END) {
        ok = true;
        break;
      }
      if (rc != Z_OK) break;  // data error, or input ended before the stream did
      if (z.avail_out != 0 && z.avail_in == 0) break;
      if (chunk < (64u << 20)) chunk *= 2;
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  inflateEnd(&z);
  return ok;
}

}  // namespace

intptr_t LibraryNotify(int32_t code, intptr_t p1, intptr_t p2) {
  if (code == rt::req::kInit) g_link.notify = reinterpret_cast<rt::NotifyFunction>(p1);
  return 0;
}

void DecompressData(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  if (argc < 1) return;
  const void* block = args[0].v.ptr;
  const int32_t n = rt::ByteSetLength(block);
  if (n < 8) return;
  const uint8_t* p = rt::ByteSetData(block);
  if (ReadLE32(p) != kBlockMagic) return;
  const uint32_t stored = ReadLE32(p + 4);
  if (stored == 0 || stored >= 0x40000000u) return;
  std::vector<uint8_t> out;
  if (!Inflate(p + 8, static_cast<size_t>(n) - 8, static_cast<size_t>(stored) * 2, out) || out.empty()) return;
  auto* h = reinterpret_cast<rt::ByteSetHeader*>(
      g_link.Ask(rt::req::kAlloc, static_cast<intptr_t>(sizeof(rt::ByteSetHeader) + out.size()), 0));
  if (!h) return;  // only when the library was never linked to the runtime
  h->dims = 1;
  h->length = static_cast<int32_t>(out.size());
  std::memcpy(h + 1, out.data(), out.size());
  result->v.ptr = h;
}

}  // namespace datalib
