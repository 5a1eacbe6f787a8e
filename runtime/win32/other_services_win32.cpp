// The other services reached through slot 12 of the service table.
#include <windows.h>

#include <cstring>

#include "runtime/memory.h"
#include "runtime/service.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/runtime_app_win32.h"

namespace rt::win32 {
namespace {

constexpr DWORD kSearchAttributeMask = 0x01 | 0x02 | 0x04 | 0x10 | 0x20;

intptr_t SearchFiles(const char* pattern, uint32_t mask, bool filesOnly, HANDLE* handle) {
  if (!handle) return 0;
  WIN32_FIND_DATAW fd;
  bool have = false;
  if (pattern && *pattern) {
    if (*handle && *handle != INVALID_HANDLE_VALUE) FindClose(*handle);
    *handle = nullptr;
    const auto wide = WideFromGbk(pattern);
    if (!wide) return 0;
    HANDLE h = FindFirstFileW(wide->c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return 0;
    *handle = h;
    have = true;
  } else {
    if (!*handle || *handle == INVALID_HANDLE_VALUE) return 0;
    have = FindNextFileW(*handle, &fd) != 0;
  }
  mask &= kSearchAttributeMask;
  while (have) {
    const DWORD attr = fd.dwFileAttributes;
    bool match;
    if (filesOnly) {
      match = (attr & FILE_ATTRIBUTE_DIRECTORY) == 0;
    } else if (mask) {
      match = (attr & mask) != 0;
    } else {
      match = (attr & kSearchAttributeMask) == 0;
    }
    if (match) return reinterpret_cast<intptr_t>(CopyText(ToGbk(fd.cFileName).c_str()));
    have = FindNextFileW(*handle, &fd) != 0;
  }
  FindClose(*handle);
  *handle = nullptr;
  return 0;
}

void MakeArrayPrivate(intptr_t elementSize, void** array) {
  if (!array || !*array || !InConstantData(*array) || elementSize < 0) return;
  const int32_t dims = ArrayDims(*array);
  if (dims < 0 || dims > 1024) return;
  uint64_t count = 1;
  const int32_t* sizes = static_cast<const int32_t*>(*array) + 1;
  for (int32_t i = 0; i < dims; ++i) {
    if (sizes[i] < 0) return;
    count *= static_cast<uint64_t>(sizes[i]);
    if (count > 0x7FFFFFFF) return;
  }
  const uint64_t bytes = ArrayHeaderSize(dims) + count * static_cast<uint64_t>(elementSize);
  if (bytes > 0x7FFFFFFF) return;
  void* copy = AllocMemory(static_cast<size_t>(bytes));
  std::memcpy(copy, *array, static_cast<size_t>(bytes));
  *array = copy;
}

}  // namespace

intptr_t CallOtherService(int32_t index, intptr_t a, intptr_t b, intptr_t c, intptr_t d) {
  switch (index) {
    case kSearchFiles:
      return SearchFiles(reinterpret_cast<const char*>(a), static_cast<uint32_t>(b), c != 0,
                         reinterpret_cast<HANDLE*>(d));
    case kCloseFileSearch:
      if (a && reinterpret_cast<HANDLE>(a) != INVALID_HANDLE_VALUE) FindClose(reinterpret_cast<HANDLE>(a));
      return 0;
    case kMakeArrayPrivate: MakeArrayPrivate(a, reinterpret_cast<void**>(b)); return 0;
    case kAddExitRoutine: AddExitRoutine(reinterpret_cast<ExitRoutine>(a)); return 0;
    case kGetObjectProperty:
    case kSetObjectProperty:
      return 0;  // no library of this program defines object types with properties
    case kInitializeRuntime: InitializeRuntime(); return 0;
    default: return 0;
  }
}

}  // namespace rt::win32
