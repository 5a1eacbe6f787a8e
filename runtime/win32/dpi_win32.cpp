#include "runtime/win32/dpi_win32.h"

namespace rt::win32 {
namespace {

// The per-monitor calls are missing from older user32 builds (and from
// older mingw headers): looked up by name.
template <typename Fn>
Fn User32Export(const char* name) {
  HMODULE m = GetModuleHandleW(L"user32.dll");
  return m ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m, name))) : nullptr;
}

// DPI_AWARENESS_CONTEXT values, as the system defines them.
const HANDLE kContextPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
constexpr int kAwarenessUnaware = 0, kAwarenessSystem = 1, kAwarenessPerMonitor = 2;

DpiAwareness CurrentAwareness() {
  using GetThreadContextFn = HANDLE(WINAPI*)();
  using AwarenessFromContextFn = int(WINAPI*)(HANDLE);
  using IsProcessAwareFn = BOOL(WINAPI*)();
  const auto context = User32Export<GetThreadContextFn>("GetThreadDpiAwarenessContext");
  const auto awareness = User32Export<AwarenessFromContextFn>("GetAwarenessFromDpiAwarenessContext");
  if (context && awareness) {
    switch (awareness(context())) {
      case kAwarenessPerMonitor: return DpiAwareness::kPerMonitor;
      case kAwarenessSystem: return DpiAwareness::kSystem;
      default: return DpiAwareness::kUnaware;
    }
  }
  const auto aware = User32Export<IsProcessAwareFn>("IsProcessDPIAware");
  return aware && aware() ? DpiAwareness::kSystem : DpiAwareness::kUnaware;
}

// The session's DPI cannot change while the process runs (it takes a new
// logon), but the process's view of it can, once: when it declares itself aware.
int g_system_dpi = 0;

}  // namespace

DpiAwareness EnableDpiAwareness() {
  g_system_dpi = 0;
  using SetContextFn = BOOL(WINAPI*)(HANDLE);
  using SetAwareFn = BOOL(WINAPI*)();
  if (const auto set = User32Export<SetContextFn>("SetProcessDpiAwarenessContext")) {
    // Fails when the awareness is settled already or the system does not
    // know per-monitor v2 (1607 knows the call but not the value): the
    // system-wide fallback below is then only tried while still unaware.
    if (set(kContextPerMonitorV2)) return DpiAwareness::kPerMonitor;
  }
  if (CurrentAwareness() == DpiAwareness::kUnaware) {
    if (const auto set = User32Export<SetAwareFn>("SetProcessDPIAware")) set();
  }
  return CurrentAwareness();
}

int SystemDpi() {
  if (g_system_dpi > 0) return g_system_dpi;
  HDC screen = GetDC(nullptr);
  const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (dpi <= 0) return 96;
  g_system_dpi = dpi;
  return dpi;
}

int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto get = User32Export<GetDpiForWindowFn>("GetDpiForWindow");
  if (get && hwnd) {
    const UINT dpi = get(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

}  // namespace rt::win32
