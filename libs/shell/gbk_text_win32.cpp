#include "libs/shell/gbk_text_win32.h"

#include <windows.h>

#include <climits>

namespace shell::detail {
namespace {
constexpr UINT kGbkCodePage = 936;
}

std::optional<std::wstring> WideFromGbk(std::string_view gbk) {
  if (gbk.empty()) return std::wstring();
  if (gbk.size() > INT_MAX) return std::nullopt;
  const int inLen = static_cast<int>(gbk.size());
  const int n = MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), inLen, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(kGbkCodePage, MB_ERR_INVALID_CHARS, gbk.data(), inLen, out.data(), n) != n) {
    return std::nullopt;
  }
  return out;
}

std::optional<std::string> GbkFromWide(std::wstring_view wide) {
  if (wide.empty()) return std::string();
  if (wide.size() > INT_MAX / 2) return std::nullopt;
  const int inLen = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), inLen, nullptr, 0,
                                    nullptr, &usedDefault);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string out(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), inLen, out.data(), n, nullptr,
                          &usedDefault) != n ||
      usedDefault) {
    return std::nullopt;
  }
  return out;
}

size_t GbkLength(std::wstring_view wide) {
  if (wide.empty()) return 0;
  if (wide.size() > INT_MAX / 2) return SIZE_MAX;
  const int n = WideCharToMultiByte(kGbkCodePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                    nullptr, nullptr);
  // A failed measure counts as too long.
  return n > 0 ? static_cast<size_t>(n) : SIZE_MAX;
}

}  // namespace shell::detail
