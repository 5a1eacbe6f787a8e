// DecompressData on arbitrary bytes: must never crash, and a result is always a
// well-formed byte set no longer than twice the stored size.
#include <cstdint>
#include <cstring>

#include "libs/data/data_library.h"
#include "runtime/memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool linked = (datalib::LibraryNotify(rt::req::kInit, reinterpret_cast<intptr_t>(&rt::RuntimeNotify), 0), true);
  (void)linked;
  void* block = rt::MakeByteSet(data, static_cast<int64_t>(size));
  rt::ValueRecord arg = rt::BytesValue(block ? block : &rt::kEmptyByteSet);
  rt::ValueRecord r = rt::CallCommand(datalib::DecompressData, 1, &arg);
  if (r.v.ptr) {
    uint32_t stored;
    std::memcpy(&stored, data + 4, 4);
    if (rt::ByteSetLength(r.v.ptr) <= 0 || static_cast<uint64_t>(rt::ByteSetLength(r.v.ptr)) > 2ull * stored) __builtin_trap();
  }
  rt::FreeMemory(r.v.ptr);
  rt::FreeMemory(block);
  return 0;
}
