// Between the window manager's files and the window kind (not for the other
// kinds).
#pragma once
#include <windows.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/template/record_list.h"
#include "ui/win32/unit_kind.h"
#include "ui/win32/window_system.h"

namespace ui {

// Calls handler `handler` of the program's table for an event of the unit,
// with that unit as the current event unit. 1 when a handler ran.
intptr_t CallHandler(int32_t handler, uint32_t window, uint32_t unit, EventRecord& ev);

// Raises an event of the window's own unit; true when the handler returned a value.
bool RaiseWindowEvent(uint32_t window, int32_t event, std::initializer_list<int32_t> args = {},
                      int32_t* result = nullptr);

// Window kind: showing after a load (loading step 13).
void ShowLoadedWindow(UnitObject& window);
// Window kind: Visible written true on a loaded window (first show, modal loop).
void ShowWindowUnit(UnitObject& window);
// Window kind: UnloadWindow marks the window as closing before destroying it.
void MarkWindowClosing(UnitObject& window);

// The window moved to a monitor of density dpi (WM_DPICHANGED): every unit's
// rectangle is scaled from the old density to the new one and each unit is
// told (kMsgDpiChanged), then the window takes the suggested rectangle.
void RescaleWindow(uint32_t window, int32_t dpi, const RECT* suggested);

// Whether the window's current load is modal.
bool IsModalLoad(uint32_t window);
// Gives back the enabled state of the windows a modal load disabled.
void ReenableDisabledWindows(uint32_t window);

// The runtime's idle offer (tests).
bool OfferIdleForTest(bool new_period, uint32_t elapsed);

// ---- Shared by the window manager's files (loading and the unit table;
// events, focus and mnemonics; property access) ----
namespace manager {

struct WindowEntry {
  uint32_t id = 0;
  uint32_t attributes = 0;
  uint32_t classId = 0;
  std::string firstText, secondText;
  KeyedRecordList live;
  KeyedRecordList saved;
  bool loaded = false;
  bool firstShowPending = false;
  bool modal = false;
  bool idleWanted = true;
  std::vector<std::pair<HWND, bool>> disabled;  // windows a modal load disabled, and whether they were enabled
};

// A record's cursor slot: the cursor and whether it is ours to destroy.
struct CursorSlot {
  HCURSOR cursor = nullptr;
  bool owned = false;
};

struct ManagerState {
  std::vector<std::unique_ptr<WindowEntry>> windows;
  std::vector<uint32_t> loadedOrder;  // requests 2032 / 2033
  HandlerTable handlers;
  int32_t suppression = 0;
  uint32_t eventWindow = 0;
  uint32_t eventUnit = 0;
  uint32_t modalWindow = 0;
  bool recreating = false;
  HHOOK focusHook = nullptr;
};

// The one WindowManager of the program.
ManagerState& Manager();

// Lookups: the window with this identifier (0 is never found), the live
// object of record i, whether an object still has its system window, and
// the record of a unit (unit 0 stands for the window's own record).
WindowEntry* FindWindowEntry(uint32_t id);
inline UnitObject* ObjectAt(const WindowEntry& w, size_t i) { return static_cast<UnitObject*>(w.live.Object(i)); }
inline bool Alive(const UnitObject* o) { return o && o->hwnd && IsWindow(o->hwnd); }
std::optional<size_t> FindUnitIndex(const WindowEntry& w, uint32_t unit);
// The unit's window rectangle in its parent's client coordinates (screen
// coordinates for a top-level window).
RECT RectInParent(HWND h);

// Cursors built from mouse-pointer data (null when there is none to show).
CursorSlot* BuildCursor(ByteSpan data);
void FreeCursor(void* slot);
HCURSOR CursorOf(const WindowEntry& w, size_t i);

// Event delivery (request 2008): 1 when a handler ran.
intptr_t Dispatch(EventRecord& ev);
// Raises an event of record i; true when the handler returned a value.
bool RaiseOn(const WindowEntry& w, size_t i, int32_t event, std::initializer_list<int32_t> args, int32_t* result);
// The runtime's idle offer: each loaded window's idle event.
bool OfferIdle(bool new_period, uint32_t elapsed);
// The focus events of the units, from a hook on the thread's messages.
LRESULT CALLBACK FocusHook(int code, WPARAM wp, LPARAM lp);

}  // namespace manager

}  // namespace ui
