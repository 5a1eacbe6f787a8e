#include "runtime/memory.h"

#include <cstdlib>
#include <cstring>

#include "runtime/errors.h"
#include "runtime/heap.h"

namespace rt {

const char kEmptyText[1] = {0};
const ByteSetHeader kEmptyByteSet = {1, 0};

namespace {
const uint8_t* g_constStart = nullptr;
const uint8_t* g_constEnd = nullptr;
}  // namespace

void SetConstantData(const void* start, size_t size) {
  g_constStart = size ? static_cast<const uint8_t*>(start) : nullptr;
  g_constEnd = size ? g_constStart + size : nullptr;
}

bool InConstantData(const void* p) {
  const uint8_t* b = static_cast<const uint8_t*>(p);
  if (p == kEmptyText || p == &kEmptyByteSet) return true;
  return g_constStart && b >= g_constStart && b < g_constEnd;
}

void* AllocUnchecked(size_t size) { return heap::Alloc(size); }

void* AllocMemory(size_t size) {
  void* p = heap::Alloc(size);
  if (!p) ReportAllocationFailure(size);
  return p;
}

void* ReallocMemory(void* p, size_t size) {
  if (!p) return AllocMemory(size);
  if (InConstantData(p)) {
    // A literal is copied out; the original stays valid and untouched.
    void* n = AllocMemory(size);
    const uint8_t* src = static_cast<const uint8_t*>(p);
    size_t avail = size;
    if (g_constStart && src >= g_constStart && src < g_constEnd) {
      avail = static_cast<size_t>(g_constEnd - src);
    } else if (p == kEmptyText) {
      avail = sizeof kEmptyText;
    } else {
      avail = sizeof kEmptyByteSet;
    }
    std::memcpy(n, src, avail < size ? avail : size);
    return n;
  }
  void* n = heap::Realloc(p, size);
  if (!n) ReportAllocationFailure(size);
  return n;
}

void FreeMemory(const void* p) {
  if (!p || InConstantData(p)) return;
  heap::Free(const_cast<void*>(p));
}

char* CopyText(const char* s) {
  if (!s || !*s) return nullptr;
  return CopyTextN(s, static_cast<int64_t>(std::strlen(s)));
}

char* CopyTextN(const char* s, int64_t n) {
  if (!s || n < 1) return nullptr;
  char* t = static_cast<char*>(AllocMemory(static_cast<size_t>(n) + 1));
  std::memcpy(t, s, static_cast<size_t>(n));
  t[n] = 0;
  return t;
}

void* MakeByteSet(const void* data, int64_t n) {
  if (n <= 0) return nullptr;
  auto* h = static_cast<ByteSetHeader*>(AllocMemory(sizeof(ByteSetHeader) + static_cast<size_t>(n)));
  h->dims = 1;
  h->length = static_cast<int32_t>(n);
  if (data) std::memcpy(h + 1, data, static_cast<size_t>(n));
  return h;
}

void* MakePointerArray(int64_t n) {
  const size_t bytes = ArrayHeaderSize(1) + sizeof(void*) * static_cast<size_t>(n);
  auto* h = static_cast<int32_t*>(AllocMemory(bytes));
  std::memset(h, 0, bytes);
  h[0] = 1;
  h[1] = static_cast<int32_t>(n);
  return h;
}

void FreeArray(TypeTag elementTag, void* array) {
  if (!array || InConstantData(array)) return;
  const TypeTag t = ElementTag(elementTag);
  if (t == tag::Text || t == tag::Bytes) {
    const int64_t n = ArrayCount(array);
    void** e = ArrayElements<void*>(array);
    for (int64_t i = 0; i < n; ++i) FreeMemory(e[i]);
  }
  FreeMemory(array);
}

}  // namespace rt
