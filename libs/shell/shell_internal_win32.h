// What the shell commands share: the runtime link, reading the argument
// records, handing back results, COM pointers and the folder helpers.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/service.h"
#include "runtime/win32/dll_binding_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "runtime/value.h"

namespace shell::detail {

using rt::win32::GbkFromWide;
using rt::win32::WideFromGbk;

// Path buffers of the program are 260 bytes: a path fits when it has at most
// 259 GBK bytes.
constexpr size_t kPathBuffer = 260;
constexpr size_t kMaxPathBytes = kPathBuffer - 1;
// The length in GBK bytes that a path would have (a character without GBK
// form counts as one byte), for checking composed paths against the buffers.
size_t GbkLength(std::wstring_view wide);

// The runtime's request entry, stored by LibraryNotify request 1.
const rt::LibraryLink& Link();

// The shell's DLL is loaded when one of these is first called, not at start:
// a setup needs it only at its end (or for the folder browser).
extern rt::win32::LateFunction<decltype(SHGetSpecialFolderPathW)> g_shGetSpecialFolderPath;
extern rt::win32::LateFunction<decltype(SHChangeNotify)> g_shChangeNotify;
extern rt::win32::LateFunction<decltype(ShellExecuteW)> g_shellExecute;
extern rt::win32::LateFunction<decltype(SHBrowseForFolderW)> g_shBrowseForFolder;
extern rt::win32::LateFunction<decltype(SHGetPathFromIDListW)> g_shGetPathFromIDList;

// Argument i when the call carries it and its tag is not 0.
inline const rt::ValueRecord* Arg(int32_t argc, const rt::ValueRecord* args, int32_t i) {
  return i < argc && args[i].tag != rt::tag::None ? &args[i] : nullptr;
}
// A text argument's bytes; nullopt when absent or not a text. A null text is
// the empty text.
std::optional<std::string_view> TextArg(int32_t argc, const rt::ValueRecord* args, int32_t i);
// A numeric argument as a 32-bit integer (fractions dropped toward zero);
// nullopt when absent or not numeric.
std::optional<int32_t> IntArg(int32_t argc, const rt::ValueRecord* args, int32_t i);
// A logical argument (a numeric one counts as true when not 0); nullopt when absent.
std::optional<bool> BoolArg(int32_t argc, const rt::ValueRecord* args, int32_t i);
// A text argument converted to UTF-16; nullopt when absent or not valid GBK.
std::optional<std::wstring> WideArg(int32_t argc, const rt::ValueRecord* args, int32_t i);

// Results. A text result is a new runtime block (request 2024, checked);
// the empty text is null.
void SetTextResult(rt::ValueRecord* result, std::string_view gbk);
inline void SetBoolResult(rt::ValueRecord* result, bool value) { result->v.i32 = value ? 1 : 0; }

// Owns one reference to a COM interface.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { Reset(); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  // For the out-parameter of a creating call.
  void** Put() {
    Reset();
    return reinterpret_cast<void**>(&p_);
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

// A shell folder's path (no creation of the folder); nullopt on failure.
std::optional<std::wstring> ShellFolderPath(int csidl);
// The shell folder in which CreateProgramGroup and CreateGroupShortcut work.
int GroupLocationFolder(std::optional<int32_t> location);

// The path without its last component; the path itself when it has no backslash.
std::wstring ParentPath(const std::wstring& path);
// Tells the shell about a created item, then about its folder's change.
void NotifyCreated(LONG event, const std::wstring& path);

// Opens file through the desktop shell's own dispatch object: the shell
// process starts it, with its rights. False when there is no such shell.
bool OpenThroughDesktopShell(const std::wstring& file, const std::wstring* directory, int show);

}  // namespace shell::detail
