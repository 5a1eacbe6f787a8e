// Between the window manager and the window kind (not for the other kinds).
#pragma once
#include <windows.h>

#include <cstdint>
#include <initializer_list>

#include "ui/win32/unit_kind.h"

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

}  // namespace ui
