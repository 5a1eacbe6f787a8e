#include "runtime/win32/gbk_win32.h"

#include <windows.h>

#include <climits>

namespace rt::win32 {
namespace {

constexpr UINT kGbk = 936;

std::optional<std::wstring> Widen(std::string_view s, DWORD flags) {
  if (s.empty()) return std::wstring();
  if (s.size() > static_cast<size_t>(INT_MAX)) return std::nullopt;
  const int in = static_cast<int>(s.size());
  const int n = MultiByteToWideChar(kGbk, flags, s.data(), in, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring w(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(kGbk, flags, s.data(), in, w.data(), n) != n) return std::nullopt;
  return w;
}

std::optional<std::string> Narrow(std::wstring_view w, bool strict) {
  if (w.empty()) return std::string();
  if (w.size() > static_cast<size_t>(INT_MAX / 2)) return std::nullopt;
  const int in = static_cast<int>(w.size());
  const DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : 0;
  BOOL usedDefault = FALSE;
  BOOL* used = strict ? &usedDefault : nullptr;
  const int n = WideCharToMultiByte(kGbk, flags, w.data(), in, nullptr, 0, nullptr, used);
  if (n <= 0 || usedDefault) return std::nullopt;
  std::string s(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(kGbk, flags, w.data(), in, s.data(), n, nullptr, used) != n || usedDefault) {
    return std::nullopt;
  }
  return s;
}

}  // namespace

std::optional<std::wstring> WideFromGbk(std::string_view gbk) { return Widen(gbk, MB_ERR_INVALID_CHARS); }

std::optional<std::string> GbkFromWide(std::wstring_view wide) { return Narrow(wide, true); }

std::wstring ToWide(std::string_view gbk) { return Widen(gbk, 0).value_or(std::wstring()); }

std::string ToGbk(std::wstring_view wide) { return Narrow(wide, false).value_or(std::string()); }

}  // namespace rt::win32
