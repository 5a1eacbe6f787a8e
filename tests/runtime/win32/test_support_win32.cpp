#include "tests/runtime/win32/test_support_win32.h"

#include <cstdio>

#include "runtime/win32/gbk_win32.h"
#include "runtime/win32/handles_win32.h"

namespace rtt {
namespace {

void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW fd;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring full = dir + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(full.c_str());
      }
    } while (FindNextFileW(h, &fd));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size()) {
      const char n = s[++i];
      out += n == 'r' ? '\r' : n == 'n' ? '\n' : n;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

ScratchDir::ScratchDir() {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  static int serial = 0;
  path_ = std::wstring(tmp) + L"rtw32_" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++serial);
  // Wine gives the same process ids run after run: a folder an earlier run
  // could not remove would otherwise be found again, files and all.
  RemoveTree(path_);
  CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

std::string ScratchDir::FileGbk(const std::wstring& name) const {
  return rt::win32::GbkFromWide(File(name)).value_or(std::string());
}

bool ReadBytes(const std::wstring& path, std::string* out) {
  rt::win32::FileHandle f(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
  if (!f) return false;
  out->clear();
  char buf[4096];
  DWORD n = 0;
  while (::ReadFile(f.get(), buf, sizeof buf, &n, nullptr) && n > 0) out->append(buf, n);
  return true;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  rt::win32::FileHandle f(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD n = 0;
  return f && ::WriteFile(f.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr) &&
         n == bytes.size();
}

std::string Utf8FromWide(const std::wstring& w) {
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

std::string Utf8FromGbk(const std::string& gbk) { return Utf8FromWide(rt::win32::ToWide(gbk)); }

std::wstring WideFromUtf8(const std::string& s) {
  // Test-side only: UTF-8 fixtures, decoded by hand.
  std::wstring out;
  for (size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    uint32_t c = b;
    size_t n = 1;
    if (b >= 0xF0) { c = b & 0x07; n = 4; }
    else if (b >= 0xE0) { c = b & 0x0F; n = 3; }
    else if (b >= 0xC0) { c = b & 0x1F; n = 2; }
    for (size_t k = 1; k < n && i + k < s.size(); ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    i += n;
    if (c >= 0x10000) {
      c -= 0x10000;
      out += static_cast<wchar_t>(0xD800 + (c >> 10));
      out += static_cast<wchar_t>(0xDC00 + (c & 0x3FF));
    } else {
      out += static_cast<wchar_t>(c);
    }
  }
  return out;
}

std::wstring BuiltProgram(const char* unixPath) {
  std::wstring p = L"Z:";
  for (const char* c = unixPath; *c; ++c) p += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  return p;
}

std::string DriverResult::Value(const std::string& key) const {
  for (const std::string& l : lines) {
    if (l.compare(0, key.size() + 1, key + "=") == 0) return Unescape(l.substr(key.size() + 1));
  }
  return "<none>";
}

DriverResult RunDriver(const std::wstring& arguments, DWORD timeoutMs) {
  DriverResult result;
  ScratchDir dir;
  const std::wstring out = dir.File(L"driver.out");
  std::wstring cmd = L"\"" + BuiltProgram(RTT_DRIVER_EXE) + L"\" /out \"" + out + L"\" " + arguments;
  std::vector<wchar_t> buf(cmd.begin(), cmd.end());
  buf.push_back(0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, buf.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return result;
  rt::win32::ObjectHandle process(pi.hProcess), thread(pi.hThread);
  if (WaitForSingleObject(pi.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(pi.hProcess, 98);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  result.exitCode = static_cast<int>(code);
  std::string text;
  ReadBytes(out, &text);
  size_t start = 0;
  while (start < text.size()) {
    size_t nl = text.find('\n', start);
    if (nl == std::string::npos) nl = text.size();
    result.lines.push_back(text.substr(start, nl - start));
    start = nl + 1;
  }
  return result;
}

}  // namespace rtt
