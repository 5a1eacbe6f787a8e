// Icon handles from the chosen image's bytes.
#include <windows.h>

#include "pictures/picture.h"

namespace pictures {
namespace {

void* CreateFromImage(const IconImage& image) {
  auto* bytes = const_cast<PBYTE>(reinterpret_cast<const BYTE*>(image.bytes));
  const DWORD size = static_cast<DWORD>(image.size);
  HICON icon = CreateIconFromResourceEx(bytes, size, TRUE, 0x00030000, image.width, image.height, LR_DEFAULTCOLOR);
  if (!icon && image.bitCount != 16) icon = CreateIconFromResource(bytes, size, TRUE, 0x00030000);
  return icon;
}

}  // namespace

IconCreator PlatformIconCreator() { return CreateFromImage; }
void DestroyIconHandle(void* icon) { DestroyIcon(static_cast<HICON>(icon)); }

}  // namespace pictures
