// What the shell library tests share: the thread set up as the runtime
// leaves it (OLE initialised, library given the runtime's entry), calls
// through the command frame, GBK texts and scratch folders.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/shell/shell_library.h"
#include "runtime/memory.h"
#include "runtime/service.h"

namespace shelltest {

inline std::wstring Wide(const std::string& gbk) {
  std::wstring w(gbk.size(), L'\0');
  w.resize(MultiByteToWideChar(936, 0, gbk.data(), static_cast<int>(gbk.size()), w.data(), static_cast<int>(w.size())));
  return w;
}
inline std::string Gbk(const std::wstring& w) {
  std::string s(w.size() * 2, '\0');
  s.resize(WideCharToMultiByte(936, 0, w.data(), static_cast<int>(w.size()), s.data(), static_cast<int>(s.size()),
                               nullptr, nullptr));
  return s;
}

inline rt::ValueRecord Call(rt::CommandFunction fn, std::vector<rt::ValueRecord> args) {
  return rt::CallCommand(fn, static_cast<int32_t>(args.size()), args.data());
}
// A text result, freed after copying; "" for null.
inline std::string TakeText(const rt::ValueRecord& r) {
  std::string s = r.v.text ? r.v.text : "";
  rt::FreeMemory(r.v.text);
  return s;
}
inline bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &d);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = d.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring p = dir + L"\\" + name;
      if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(p);
      } else {
        DeleteFileW(p.c_str());
      }
    } while (FindNextFileW(h, &d));
    FindClose(h);
  }
  RemoveDirectoryW(dir.c_str());
}

// A fresh folder under the temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"shelltest-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(++counter);
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempDir() { RemoveTree(path_); }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }
  const std::wstring& path() const { return path_; }

 private:
  std::wstring path_;
};

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    shell::LibraryNotify(rt::req::kInit, reinterpret_cast<intptr_t>(&rt::RuntimeNotify), 0);
  }
  void TearDown() override { OleUninitialize(); }
};

}  // namespace shelltest
