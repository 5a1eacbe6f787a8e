// The window system: the registry of the program's windows, loading and
// destroying them from their templates, unit properties by number, and event
// delivery to the program's handlers.
//
// Installing it (once, before InitializeRuntime reads the templates):
//
//   ui::InstallWindowSystem();     // services 4 and 5, runtime hooks, requests, window kind
//   ui::RegisterSetupUnitKinds();  // the other kinds (units library)
//
// The program's handlers. ProgramHeader::codeBase points at a HandlerTable;
// a template's handler offset is an index into it. A handler gets the event's
// arguments (at most five 32-bit values, in event order) and returns true
// when it returns a value, which it then stores in *result. The unit whose
// event is being handled is asked for with GetEventUnit (request 2017).
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/program.h"
#include "ui/template/bytes.h"
#include "ui/win32/unit_kind.h"

namespace ui {

using EventHandler = bool (*)(const int32_t* args, int32_t arg_count, int32_t* result);

struct HandlerTable {
  const EventHandler* handlers = nullptr;
  size_t count = 0;
};

// Request 2005's block.
struct LoadWindowRequest {
  uint32_t window = 0;         // window identifier
  UnitObject* parent = nullptr;  // the parent window's object (request 2006), or null
  int32_t modal = 0;
};

// The runtime's font object: what a font property written with element
// index -1 takes and what it reads back as (a runtime block).
struct FontObject {
  int32_t angle = 0;      // tenths of a degree
  int32_t bold = 0;
  int32_t italic = 0;
  int32_t underline = 0;
  int32_t strike_out = 0;
  int32_t size = 9;       // points
  char face[32] = {};     // GBK, zero-terminated
};

void InstallWindowSystem();

// The data-type arrays of library 1 (core) and 2 (interface) for the
// program's LibraryInfo records, built from the registered kinds (call after
// registering them); the runtime's kind-code request reads these. Null and 0
// for other libraries.
const rt::UnitKindDescriptor* LibraryKinds(int32_t library, int32_t* count);

// The window kind (0x00010001).
const UnitKindDescriptor& WindowKind();

// Reads the template image and appends its windows to the registry (the
// runtime's readTemplates hook). code_base: a HandlerTable or null.
bool ReadWindowTemplates(const void* image, uint32_t size, const void* code_base);
// Forgets every window (tests).
void ResetWindowSystem();

// Loading (request 2005). With modal set and the window visible, returns
// only once the window has been destroyed.
bool LoadWindow(uint32_t window, HWND owner, bool modal);
// The live object of a loaded unit (unit 0 or the own record's identifier
// for the window itself), or null.
UnitObject* LiveUnit(uint32_t window, uint32_t unit);
// The unit's record kind tag, or 0 (request 2022).
uint32_t UnitKindTag(uint32_t window, uint32_t unit);
// The unit currently handling an event: false outside event handlers.
bool CurrentEventUnit(uint32_t* window, uint32_t* unit);
// RedirectUnitEvents: source = 0 clears; unit = the window clears all.
bool RedirectUnitEvents(uint32_t window, uint32_t unit, uint32_t target_window, uint32_t target_unit);
// UnloadWindow for a window or a unit inside it; false when it does not exist.
bool UnloadUnit(uint32_t window, uint32_t unit, bool now);

// Services 4 and 5.
uint64_t GetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member);
void SetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member, uint64_t value);

// ---- For the window kind ----
// The program window that currently runs a modal loop, 0 when none.
uint32_t ModalWindow();
// Keyboard mnemonics and common events for a message bound for a loaded
// window or one of its units; true drops the message.
bool PreTranslateWindowMessage(uint32_t window, MSG& msg);
// The cursor to show for the record concerned, or null.
HCURSOR CursorFor(uint32_t window, HWND under_mouse, bool in_client);
// The unit that gets the focus when the window gets it (tab order), or null.
HWND FirstFocusUnit(uint32_t window);
// Runs the modal loop for a window until it is destroyed; nests.
void RunModalFor(uint32_t window);
// Whether loading step 13/16 still waits to show the window for the first time.
bool TakeFirstShowPending(uint32_t window);
// Events are kept from the program while this counts above 0.
int32_t EventSuppression();

}  // namespace ui
