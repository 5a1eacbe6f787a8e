// ExecuteAsDesktopUser: starts a file with the rights of the user whose
// desktop it is. A setup runs elevated; the product it starts when it ends
// should not inherit the administrator's token, so it is handed to the
// desktop's own shell, which runs as that user.
#include <exdisp.h>
#include <shldisp.h>

#include "libs/shell/shell_internal_win32.h"
#include "libs/shell/shell_library.h"
#include "runtime/win32/dll_binding_win32.h"
#include "runtime/win32/handles_win32.h"

// The system headers name the shell's own function ShellExecute as a macro;
// here it is the dispatch object's method.
#ifdef ShellExecute
#undef ShellExecute
#endif

namespace shell {
namespace detail {
namespace {

using rt::win32::ObjectHandle;

rt::win32::LateFunction<decltype(VariantClear)> g_variantClear{L"oleaut32.dll", "VariantClear"};
rt::win32::LateFunction<decltype(SysAllocStringLen)> g_sysAllocStringLen{L"oleaut32.dll", "SysAllocStringLen"};
rt::win32::LateFunction<decltype(SysFreeString)> g_sysFreeString{L"oleaut32.dll", "SysFreeString"};

// A VARIANT that clears itself. Zeroed is empty (VT_EMPTY is 0), without a
// call into automation's DLL.
struct Variant {
  static_assert(VT_EMPTY == 0);
  VARIANT v{};
  Variant() = default;
  explicit Variant(int32_t i) : Variant() {
    v.vt = VT_I4;
    v.lVal = i;
  }
  ~Variant() {
    if (auto* clear = g_variantClear.get()) clear(&v);
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
};

bool RunsElevated() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return false;
  ObjectHandle token(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  return GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0;
}

bool IsProgram(const std::wstring& file) {
  const size_t dot = file.find_last_of(L".\\");
  if (dot == std::wstring::npos || file[dot] != L'.') return false;
  const std::wstring ext = file.substr(dot);
  return CompareStringOrdinal(ext.c_str(), -1, L".exe", -1, TRUE) == CSTR_EQUAL ||
         CompareStringOrdinal(ext.c_str(), -1, L".com", -1, TRUE) == CSTR_EQUAL;
}

// A program started with a copy of the shell process's own token. Needs the
// right to impersonate, which administrators hold.
bool StartWithShellToken(const std::wstring& program, const std::wstring* directory, int show) {
  DWORD pid = 0;
  if (!GetWindowThreadProcessId(GetShellWindow(), &pid) || pid == 0) return false;
  ObjectHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid));
  if (!process) return false;
  HANDLE raw = nullptr;
  if (!OpenProcessToken(process.get(), TOKEN_DUPLICATE, &raw)) return false;
  ObjectHandle shellToken(raw);
  raw = nullptr;
  if (!DuplicateTokenEx(shellToken.get(),
                        TOKEN_QUERY | TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_ADJUST_DEFAULT |
                            TOKEN_ADJUST_SESSIONID,
                        nullptr, SecurityImpersonation, TokenPrimary, &raw)) {
    return false;
  }
  ObjectHandle token(raw);
  std::wstring line = L"\"" + program + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi{};
  if (!CreateProcessWithTokenW(token.get(), 0, program.c_str(), line.data(), 0, nullptr,
                               directory ? directory->c_str() : nullptr, &si, &pi)) {
    return false;
  }
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return true;
}

}  // namespace

bool OpenThroughDesktopShell(const std::wstring& file, const std::wstring* directory, int show) {
  ComPtr<IShellWindows> windows;
  if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.Put()))) {
    return false;
  }
  Variant desktop(static_cast<int32_t>(CSIDL_DESKTOP)), none;
  long window = 0;
  ComPtr<IDispatch> found;
  if (windows->FindWindowSW(&desktop.v, &none.v, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH,
                            reinterpret_cast<IDispatch**>(found.Put())) != S_OK ||
      !found) {
    return false;
  }
  ComPtr<IServiceProvider> services;
  ComPtr<IShellBrowser> browser;
  ComPtr<IShellView> view;
  ComPtr<IDispatch> background;
  ComPtr<IShellFolderViewDual> folderView;
  ComPtr<IDispatch> application;
  ComPtr<IShellDispatch2> shellDispatch;
  if (FAILED(found->QueryInterface(IID_IServiceProvider, services.Put())) ||
      FAILED(services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.Put())) ||
      FAILED(browser->QueryActiveShellView(reinterpret_cast<IShellView**>(view.Put()))) ||
      FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.Put())) ||
      FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.Put())) ||
      FAILED(folderView->get_Application(reinterpret_cast<IDispatch**>(application.Put()))) ||
      FAILED(application->QueryInterface(IID_IShellDispatch2, shellDispatch.Put()))) {
    return false;
  }
  auto* allocate = g_sysAllocStringLen.get();
  auto* release = g_sysFreeString.get();
  if (!allocate || !release) return false;
  BSTR name = allocate(file.data(), static_cast<UINT>(file.size()));
  if (!name) return false;
  Variant folder;
  if (directory) {
    folder.v.vt = VT_BSTR;
    folder.v.bstrVal = allocate(directory->data(), static_cast<UINT>(directory->size()));
  }
  const HRESULT hr = shellDispatch->ShellExecute(name, none.v, folder.v, none.v, Variant(show).v);
  release(name);
  return SUCCEEDED(hr);
}

}  // namespace detail

void ExecuteAsDesktopUser(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  detail::SetBoolResult(result, false);
  const auto file = detail::WideArg(argc, args, 0);
  if (!file || file->empty()) return;
  std::optional<std::wstring> directory;
  if (detail::TextArg(argc, args, 1) && !(directory = detail::WideArg(argc, args, 1))) return;
  const std::wstring* dir = directory && !directory->empty() ? &*directory : nullptr;
  // Not elevated, the setup's own rights are the user's: nothing to gain. With
  // no shell window there is no desktop user to ask (a service, a session
  // without a shell); asking the shell's objects there could start one.
  if (!detail::RunsElevated() || !GetShellWindow()) return;
  const bool started = detail::OpenThroughDesktopShell(*file, dir, SW_SHOWNORMAL) ||
                       (detail::IsProgram(*file) && detail::StartWithShellToken(*file, dir, SW_SHOWNORMAL));
  detail::SetBoolResult(result, started);
}

}  // namespace shell
