// The data library: decompression of compressed blocks. It reaches the runtime
// only through the request entry the runtime hands it at start-up.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/service.h"

namespace datalib {

constexpr uint32_t kBlockMagic = 0x033E0F0D;

// The library's request entry; request 1 stores the runtime's entry.
intptr_t LibraryNotify(int32_t code, intptr_t p1, intptr_t p2);

// DecompressData(byte set) -> byte set; the empty byte set on any failure.
void DecompressData(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args);

}  // namespace datalib
