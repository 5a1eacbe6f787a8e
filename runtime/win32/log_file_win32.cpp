#include "runtime/win32/log_file_win32.h"

#include <cstdio>
#include <string>

#include "runtime/args.h"
#include "runtime/memory.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"

namespace rt::win32 {
namespace {

std::wstring& StartDirectory() {
  static std::wstring dir;
  return dir;
}

FileHandle& LogHandle() {
  static FileHandle h;
  return h;
}

std::string Utf8(std::wstring_view w) {
  if (w.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

bool Append(const std::string& bytes) {
  DWORD written = 0;
  return ::WriteFile(LogHandle().get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool IsAbsolute(const std::wstring& p) {
  return (p.size() >= 2 && p[1] == L':') || (!p.empty() && (p[0] == L'\\' || p[0] == L'/'));
}

}  // namespace

void RememberStartDirectory() {
  const DWORD n = GetCurrentDirectoryW(0, nullptr);
  if (n == 0) return;
  std::wstring dir(n, L'\0');
  const DWORD got = GetCurrentDirectoryW(n, dir.data());
  dir.resize(got < n ? got : 0);
  StartDirectory() = dir;
}

}  // namespace rt::win32

namespace rt::cmd {

void OpenLog(ValueRecord* r, int32_t argc, ValueRecord* a) {
  using namespace win32;
  args::SetBool(r, false);
  const auto given = WideFromGbk(args::Text(argc, a, 0));
  if (!given || given->empty()) return;
  std::wstring path = *given;
  if (!IsAbsolute(path) && !StartDirectory().empty()) {
    const std::wstring& dir = StartDirectory();
    path = dir + (dir.back() == L'\\' ? L"" : L"\\") + path;
  }
  FileHandle f(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!f) return;
  LogHandle() = std::move(f);
  // A new log starts with the byte order mark, so that editors of every
  // system code page read it as UTF-8.
  LARGE_INTEGER size{};
  if (GetFileSizeEx(LogHandle().get(), &size) && size.QuadPart == 0) Append("\xEF\xBB\xBF");
  args::SetBool(r, true);
}

void AppendLogLine(ValueRecord* r, int32_t argc, ValueRecord* a) {
  using namespace win32;
  args::SetBool(r, false);
  if (!LogHandle()) return;
  std::wstring text = ToWide(args::Text(argc, a, 0));
  for (wchar_t& c : text) {
    if (c < L' ') c = L' ';
  }
  SYSTEMTIME t;
  GetLocalTime(&t);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                t.wSecond);
  args::SetBool(r, Append(stamp + Utf8(text) + "\r\n"));
}

void LastErrorText(ValueRecord* r, int32_t, ValueRecord*) {
  const DWORD error = GetLastError();
  wchar_t* buffer = nullptr;
  const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring message(buffer ? buffer : L"", buffer ? n : 0);
  if (buffer) LocalFree(buffer);
  while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
    message.pop_back();
  }
  std::string text = win32::ToGbk(message);
  text += (text.empty() ? "(" : " (") + std::to_string(error) + ")";
  args::SetText(r, CopyText(text.c_str()));
}

}  // namespace rt::cmd
