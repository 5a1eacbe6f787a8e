// The platform heap under the runtime's memory operations: the process heap on
// Windows, the C library's heap elsewhere. Null on failure.
#pragma once
#include <cstddef>

namespace rt::heap {
void* Alloc(size_t size);
void* Realloc(void* p, size_t size);
void Free(void* p);
// Test hook: make the next allocation at or above this size fail (0 = never).
void FailAllocationsFrom(size_t size);
}  // namespace rt::heap
