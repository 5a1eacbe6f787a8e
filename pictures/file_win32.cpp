// LoadPictureFile on Windows: the GBK path as UTF-16, the file opened
// read-only with other writers denied while it is read.
#include <windows.h>

#include <cstdlib>
#include <string>

#include "pictures/picture.h"
#include "runtime/win32/gbk_win32.h"

namespace pictures {

PictureObject* LoadPictureFile(const char* path) {
  if (!path || !*path) return nullptr;
  // A path that does not convert exactly names some other file: none.
  const std::optional<std::wstring> wide = rt::win32::WideFromGbk(path);
  if (!wide || wide->empty()) return nullptr;
  HANDLE file = CreateFileW(wide->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  PictureObject* pic = nullptr;
  if (GetFileSizeEx(file, &size) && size.QuadPart >= 8 && static_cast<uint64_t>(size.QuadPart) <= kMaxPixelBlock) {
    const DWORD total = static_cast<DWORD>(size.QuadPart);
    auto* bytes = static_cast<uint8_t*>(std::malloc(total));
    DWORD done = 0, got = 0;
    while (bytes && done < total && ReadFile(file, bytes + done, total - done, &got, nullptr) && got > 0) done += got;
    if (bytes && done == total) pic = LoadPicture(bytes, total);
    std::free(bytes);
  }
  CloseHandle(file);
  return pic;
}

}  // namespace pictures
