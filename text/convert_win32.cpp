#include <windows.h>

#include "text/convert.h"

namespace text {
namespace {

bool ToWide(UINT cp, std::string_view in, std::wstring& out) {
  out.clear();
  if (in.empty()) return true;
  int n = MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(n);
  return MultiByteToWideChar(cp, MB_ERR_INVALID_CHARS, in.data(), int(in.size()), out.data(), n) == n;
}

bool FromWide(UINT cp, const std::wstring& in, std::string& out) {
  out.clear();
  if (in.empty()) return true;
  BOOL usedDefault = FALSE;
  BOOL* check = cp == CP_UTF8 ? nullptr : &usedDefault;
  DWORD flags = cp == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(cp, flags, in.data(), int(in.size()), nullptr, 0, nullptr, check);
  if (n <= 0 || usedDefault) return false;
  out.resize(n);
  return WideCharToMultiByte(cp, flags, in.data(), int(in.size()), out.data(), n, nullptr, check) == n &&
         !usedDefault;
}

}  // namespace

bool Utf8ToGbk(std::string_view utf8, std::string& gbk) {
  std::wstring w;
  if (!ToWide(CP_UTF8, utf8, w) || !FromWide(936, w, gbk)) return false;
  // Best-fit is off, but make sure the text comes back unchanged all the same.
  std::wstring back;
  return ToWide(936, gbk, back) && back == w;
}

bool GbkToUtf8(std::string_view gbk, std::string& utf8) {
  std::wstring w;
  return ToWide(936, gbk, w) && FromWide(CP_UTF8, w, utf8);
}

}  // namespace text
