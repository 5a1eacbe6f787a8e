// The library's request entry and the helpers every command shares.
#include <cmath>
#include <cstring>

#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"

namespace shell {
namespace {
rt::LibraryLink g_link;
}

intptr_t LibraryNotify(int32_t code, intptr_t p1, intptr_t p2) {
  if (code == rt::req::kInit) {
    g_link.notify = reinterpret_cast<rt::NotifyFunction>(p1);
  }
  return 0;
}

namespace detail {

rt::win32::LateFunction<decltype(SHGetSpecialFolderPathW)> g_shGetSpecialFolderPath{L"shell32.dll",
                                                                                  "SHGetSpecialFolderPathW"};
rt::win32::LateFunction<decltype(SHChangeNotify)> g_shChangeNotify{L"shell32.dll", "SHChangeNotify"};
rt::win32::LateFunction<decltype(ShellExecuteW)> g_shellExecute{L"shell32.dll", "ShellExecuteW"};
rt::win32::LateFunction<decltype(SHBrowseForFolderW)> g_shBrowseForFolder{L"shell32.dll", "SHBrowseForFolderW"};
rt::win32::LateFunction<decltype(SHGetPathFromIDListW)> g_shGetPathFromIDList{L"shell32.dll",
                                                                               "SHGetPathFromIDListW"};

const rt::LibraryLink& Link() { return g_link; }

std::optional<std::string_view> TextArg(int32_t argc, const rt::ValueRecord* args, int32_t i) {
  const rt::ValueRecord* a = Arg(argc, args, i);
  if (!a || a->tag != rt::tag::Text) return std::nullopt;
  return std::string_view(a->v.text ? a->v.text : "");
}

std::optional<int32_t> IntArg(int32_t argc, const rt::ValueRecord* args, int32_t i) {
  const rt::ValueRecord* a = Arg(argc, args, i);
  if (!a) return std::nullopt;
  auto fromDouble = [](double d) -> std::optional<int32_t> {
    d = std::trunc(d);
    if (!std::isfinite(d) || d < -2147483648.0 || d > 2147483647.0) return std::nullopt;
    return static_cast<int32_t>(d);
  };
  switch (a->tag) {
    case rt::tag::Byte: return a->v.u8;
    case rt::tag::Short: return a->v.i16;
    case rt::tag::Int: return a->v.i32;
    case rt::tag::Long: return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(a->v.i64)));
    case rt::tag::Float: return fromDouble(a->v.f32);
    case rt::tag::Double: return fromDouble(a->v.f64);
    default: return std::nullopt;
  }
}

std::optional<bool> BoolArg(int32_t argc, const rt::ValueRecord* args, int32_t i) {
  const rt::ValueRecord* a = Arg(argc, args, i);
  if (!a) return std::nullopt;
  if (a->tag == rt::tag::Bool) return a->v.i32 != 0;
  if (auto n = IntArg(argc, args, i)) return *n != 0;
  return std::nullopt;
}

std::optional<std::wstring> WideArg(int32_t argc, const rt::ValueRecord* args, int32_t i) {
  auto text = TextArg(argc, args, i);
  if (!text) return std::nullopt;
  return WideFromGbk(*text);
}

size_t GbkLength(std::wstring_view wide) {
  const std::string gbk = rt::win32::ToGbk(wide);
  return gbk.empty() && !wide.empty() ? SIZE_MAX : gbk.size();
}

void SetTextResult(rt::ValueRecord* result, std::string_view gbk) {
  result->v.text = nullptr;
  if (gbk.empty()) return;
  auto* block = reinterpret_cast<char*>(Link().Ask(rt::req::kAlloc, static_cast<intptr_t>(gbk.size() + 1), 0));
  if (!block) return;  // no runtime linked: nothing to hand back
  std::memcpy(block, gbk.data(), gbk.size());
  block[gbk.size()] = '\0';
  result->v.text = block;
}

std::optional<std::wstring> ShellFolderPath(int csidl) {
  wchar_t buf[MAX_PATH] = {};
  auto* folderPath = g_shGetSpecialFolderPath.get();
  if (!folderPath || !folderPath(nullptr, buf, csidl, FALSE)) return std::nullopt;
  buf[MAX_PATH - 1] = L'\0';
  if (buf[0] == L'\0') return std::nullopt;
  return std::wstring(buf);
}

int GroupLocationFolder(std::optional<int32_t> location) {
  switch (location.value_or(1)) {
    case 0: return CSIDL_STARTMENU;
    case 2: return CSIDL_DESKTOPDIRECTORY;
    default: return CSIDL_PROGRAMS;
  }
}

std::wstring ParentPath(const std::wstring& path) {
  const size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? path : path.substr(0, cut);
}

void NotifyCreated(LONG event, const std::wstring& path) {
  constexpr UINT kFlags = SHCNF_PATHW | SHCNF_FLUSH;
  auto* notify = g_shChangeNotify.get();
  if (!notify) return;
  notify(event | SHCNE_INTERRUPT, kFlags, path.c_str(), nullptr);
  const std::wstring parent = ParentPath(path);
  notify(SHCNE_UPDATEDIR | SHCNE_INTERRUPT, kFlags, parent.c_str(), nullptr);
}

}  // namespace detail
}  // namespace shell
