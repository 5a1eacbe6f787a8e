#include "runtime/win32/log_file_win32.h"

#include <cstdio>
#include <string>

#include "gbk/runtime_texts.h"
#include "runtime/args.h"
#include "runtime/format.h"
#include "runtime/memory.h"
#include "runtime/win32/confined_writes_win32.h"
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

bool SameAsciiPath(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x + 32);
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::wstring AbsoluteLogPath(const std::wstring& given) {
  if (given.empty() || IsAbsolute(given) || StartDirectory().empty()) return given;
  const std::wstring& dir = StartDirectory();
  return dir + (dir.back() == L'\\' ? L"" : L"\\") + given;
}

FileHandle OpenLogFile(const std::wstring& absolutePath, std::wstring& why) {
  // The full form names devices plainly ("\\.\CON" for "con.txt"); they are
  // never opened, since opening some of them already does something.
  std::wstring full(MAX_PATH, L'\0');
  wchar_t* filePart = nullptr;
  for (;;) {
    const DWORD n = GetFullPathNameW(absolutePath.c_str(), static_cast<DWORD>(full.size()), full.data(), &filePart);
    if (n == 0) {
      why = L"not a file path";
      return {};
    }
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.resize(n + 1);
  }
  if (full.starts_with(L"\\\\.\\") || full.starts_with(L"\\\\?\\") || !filePart || !*filePart) {
    why = L"a device or not a file";
    return {};
  }
  const std::wstring name = filePart;
  const std::wstring folder = full.substr(0, full.size() - name.size());
  FileHandle dir(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!dir) {
    why = L"its folder cannot be opened";
    return {};
  }
  FileHandle f(CreateFileW(full.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!f) {
    why = L"cannot be opened";
    return {};
  }
  BY_HANDLE_FILE_INFORMATION info;
  if (GetFileType(f.get()) != FILE_TYPE_DISK || !GetFileInformationByHandle(f.get(), &info)) {
    why = L"a device or not a file";
    return {};
  }
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) {
    why = L"a link or a folder";
    return {};
  }
  if (info.nNumberOfLinks != 1) {
    why = L"a second name of another file";
    return {};
  }
  // The file must be the name itself in its folder, not what a link the
  // system followed while opening leads to.
  std::wstring folderFinal = FinalPathOf(dir.get());
  const std::wstring fileFinal = FinalPathOf(f.get());
  if (!folderFinal.empty() && folderFinal.back() != L'\\') folderFinal += L'\\';
  std::wstring longName = name;
  WIN32_FIND_DATAW fd;
  if (FindHandle found(FindFirstFileW(full.c_str(), &fd)); found) longName = fd.cFileName;
  if (folderFinal.size() <= 1 || fileFinal.empty() || !SameAsciiPath(fileFinal, folderFinal + longName)) {
    why = L"a link elsewhere";
    return {};
  }
  return f;
}

void TellStandardError(const std::wstring& line) {
  const HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (!err || err == INVALID_HANDLE_VALUE) return;
  const std::string bytes = Utf8(line + L"\r\n");
  DWORD written = 0;
  ::WriteFile(err, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

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
  const std::wstring path = AbsoluteLogPath(*given);
  std::wstring why = L"a log is open already";
  FileHandle f = LogHandle() ? FileHandle() : OpenLogFile(path, why);
  if (!f) {
    TellStandardError(L"/LOG refused: " + path + L" (" + why + L")");
    return;
  }
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
  rt::FormatText(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u ", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
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
  // The errors the runtime leaves itself for a refused link, where the system
  // has no text for them.
  if (text.empty() && error == win32::kLinkRefused) text = gbk::LinkRefused;
  if (text.empty() && error == ERROR_TOO_MANY_LINKS) text = gbk::TooManyLinks;
  text += (text.empty() ? "(" : " (") + std::to_string(error) + ")";
  args::SetText(r, CopyText(text.c_str()));
}

}  // namespace rt::cmd
