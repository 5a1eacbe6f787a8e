// Display density for the setup and the uninstaller alike. Both declare
// themselves DPI-aware at start-up and draw at the density of the monitor
// their windows are on, instead of letting the system stretch a 96 DPI
// bitmap (blurred text on every display above 100 %).
#pragma once
#include <windows.h>

namespace rt::win32 {

enum class DpiAwareness {
  kPerMonitor,  // per-monitor (v2): windows follow the DPI of their monitor
  kSystem,      // one DPI for the whole session: the primary monitor's at logon
  kUnaware,     // the system scales (or the awareness was settled before us)
};

// Call before the first window is created. Per-monitor (v2) awareness where
// the system has it (Windows 10 1703 and later), else system-wide awareness.
// The calls are looked up at run time, so older systems still start. A
// process whose awareness was already settled (by its manifest or by its
// host) keeps it; the answer then says what it is.
DpiAwareness EnableDpiAwareness();

// The DPI of the whole session as this process sees it (96 when unaware).
int SystemDpi();
// The DPI a window is drawn at: its monitor's for a per-monitor aware
// window, else SystemDpi().
int WindowDpi(HWND hwnd);

}  // namespace rt::win32
