#include "runtime/win32/dll_search_win32.h"

namespace rt::win32 {
namespace {

// A kernel32 or ntdll export that older systems may lack, looked up by name.
template <typename Fn>
Fn SystemExport(const wchar_t* module, const char* name) {
  HMODULE m = GetModuleHandleW(module);
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

bool IsWindows8OrLater() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  auto getVersion = SystemExport<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof v;
  if (!getVersion || getVersion(&v) != 0) return false;
  return v.dwMajorVersion > 6 || (v.dwMajorVersion == 6 && v.dwMinorVersion >= 2);
}

// Before anything else loads: DLLs loaded by bare name come from the system
// directory only, and the current directory is never searched. The calls are
// looked up at run time, so systems without them still start. Windows 7 and
// Vista get the system-directory restriction through an update, but there it
// breaks creating shortcuts through the shell's COM objects; they keep only
// the current directory out.
}  // namespace

void RestrictDllSearch() {
  constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
  using SetDllDirectoryFn = BOOL(WINAPI*)(const wchar_t*);
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  if (auto setDllDirectory = SystemExport<SetDllDirectoryFn>(L"kernel32.dll", "SetDllDirectoryW")) {
    setDllDirectory(L"");
  }
  auto setDefault = SystemExport<SetDefaultDllDirectoriesFn>(L"kernel32.dll", "SetDefaultDllDirectories");
  if (setDefault && IsWindows8OrLater()) setDefault(kSearchSystem32);
}

}  // namespace rt::win32
