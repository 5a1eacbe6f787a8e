// GetSpecialFolder: the path of one of eleven well-known folders.
#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"

namespace shell {
namespace {

enum class FolderSource { Shell, Windows, System, Temp };

struct FolderKind {
  int32_t kind;
  FolderSource source;
  int csidl;  // for FolderSource::Shell
};

constexpr FolderKind kFolderKinds[] = {
    {1, FolderSource::Shell, CSIDL_PERSONAL},
    {2, FolderSource::Shell, CSIDL_FAVORITES},
    {3, FolderSource::Shell, CSIDL_DESKTOPDIRECTORY},
    {4, FolderSource::Shell, CSIDL_FONTS},
    {5, FolderSource::Shell, CSIDL_STARTMENU},
    {6, FolderSource::Shell, CSIDL_PROGRAMS},
    {7, FolderSource::Shell, CSIDL_STARTUP},
    {8, FolderSource::Shell, CSIDL_APPDATA},
    {9, FolderSource::Windows, 0},
    {10, FolderSource::System, 0},
    {11, FolderSource::Temp, 0},
};

// The three directory calls answer the needed size, not a failure, when the
// buffer is too small; both count as failures here.
std::optional<std::wstring> FromSizedCall(UINT n, const wchar_t* buf) {
  if (n == 0 || n >= MAX_PATH) return std::nullopt;
  return std::wstring(buf, n);
}

std::optional<std::wstring> FolderPath(const FolderKind& k) {
  wchar_t buf[MAX_PATH] = {};
  switch (k.source) {
    case FolderSource::Shell: return detail::ShellFolderPath(k.csidl);
    case FolderSource::Windows: return FromSizedCall(GetWindowsDirectoryW(buf, MAX_PATH), buf);
    case FolderSource::System: return FromSizedCall(GetSystemDirectoryW(buf, MAX_PATH), buf);
    case FolderSource::Temp: return FromSizedCall(GetTempPathW(MAX_PATH, buf), buf);
  }
  return std::nullopt;
}

}  // namespace

void GetSpecialFolder(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  result->v.text = nullptr;
  const auto kind = detail::IntArg(argc, args, 0);
  if (!kind) return;
  for (const FolderKind& k : kFolderKinds) {
    if (k.kind != *kind) continue;
    auto path = FolderPath(k);
    if (!path || path->empty()) return;
    // The backslash test is made on the UTF-16 path: in GBK a backslash byte
    // may also be the second byte of a two-byte character.
    if (path->back() != L'\\') path->push_back(L'\\');
    const auto gbk = detail::GbkFromWide(*path);
    if (!gbk || gbk->size() > detail::kMaxPathBytes) return;
    detail::SetTextResult(result, *gbk);
    return;
  }
}

}  // namespace shell
