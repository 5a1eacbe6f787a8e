#include "runtime/heap.h"

#include <cstdlib>
#ifdef _WIN32
#include <windows.h>
#endif

namespace rt::heap {
namespace {
size_t g_failFrom = 0;
bool ShouldFail(size_t size) { return g_failFrom != 0 && size >= g_failFrom; }
#ifdef _WIN32
HANDLE Heap() {
  static HANDLE h = GetProcessHeap();
  return h;
}
#endif
}  // namespace

void FailAllocationsFrom(size_t size) { g_failFrom = size; }

void* Alloc(size_t size) {
  if (ShouldFail(size)) return nullptr;
#ifdef _WIN32
  return HeapAlloc(Heap(), 0, size ? size : 1);
#else
  return std::malloc(size ? size : 1);
#endif
}

void* Realloc(void* p, size_t size) {
  if (ShouldFail(size)) return nullptr;
#ifdef _WIN32
  return HeapReAlloc(Heap(), 0, p, size ? size : 1);
#else
  return std::realloc(p, size ? size : 1);
#endif
}

void Free(void* p) {
#ifdef _WIN32
  HeapFree(Heap(), 0, p);
#else
  std::free(p);
#endif
}
}  // namespace rt::heap
