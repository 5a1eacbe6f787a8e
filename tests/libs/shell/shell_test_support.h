// Shared by the shell library tests: the thread as the runtime leaves it (OLE
// initialised, the library given the runtime's entry), calls through the
// command frame, GBK texts and scratch folders.
#pragma once
#include <windows.h>
#include <ole2.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "libs/shell/shell_library.h"
#include "runtime/memory.h"
#include "runtime/service.h"
#include "runtime/win32/gbk_win32.h"

namespace shelltest {

inline std::wstring Wide(const std::string& gbk) { return rt::win32::ToWide(gbk); }
inline std::string Gbk(const std::wstring& w) { return rt::win32::ToGbk(w); }
inline bool Exists(const std::wstring& p) { return GetFileAttributesW(p.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline void RemoveTree(const std::wstring& dir) {
  WIN32_FIND_DATAW d;
  HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &d);
  for (BOOL more = h != INVALID_HANDLE_VALUE; more; more = FindNextFileW(h, &d)) {
    const std::wstring name = d.cFileName, p = dir + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveTree(p) : void(DeleteFileW(p.c_str()));
  }
  if (h != INVALID_HANDLE_VALUE) FindClose(h);
  RemoveDirectoryW(dir.c_str());
}

// A fresh folder under the temporary directory, removed with its contents.
class TempDir {
 public:
  TempDir() {
    static int counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = base + (L"shelltest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter));
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempDir() { RemoveTree(path_); }
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
  // A text argument whose bytes live as long as the test.
  rt::ValueRecord Text(const std::string& s) { return rt::TextValue(texts_.emplace_back(s).c_str()); }
  rt::ValueRecord Call(rt::CommandFunction fn, std::vector<rt::ValueRecord> args) {
    return rt::CallCommand(fn, static_cast<int32_t>(args.size()), args.data());
  }
  // A text result, freed after copying; "" for null.
  std::string CallText(rt::CommandFunction fn, std::vector<rt::ValueRecord> args) {
    const rt::ValueRecord r = Call(fn, std::move(args));
    std::string s = r.v.text ? r.v.text : "";
    rt::FreeMemory(r.v.text);
    return s;
  }

 private:
  std::list<std::string> texts_;
};

}  // namespace shelltest
