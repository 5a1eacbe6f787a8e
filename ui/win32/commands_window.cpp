// The window commands: loading and unloading windows, unit handles and client
// sizes, focus, the event unit, event redirection and message processing.
// Units are looked up through the runtime's requests, as every library does.
#include "ui/win32/commands_window.h"

#include <windows.h>

#include "gbk/runtime_texts.h"
#include "runtime/args.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/gbk_win32.h"
#include "ui/template/dpi.h"
#include "ui/win32/window_system.h"

namespace ui::cmd {
namespace {

struct UnitRef {
  uint32_t window = 0;
  uint32_t unit = 0;  // the window's own record identifier, or 0 for the window
};

UnitRef RefOf(int32_t argc, const rt::ValueRecord* args, int i) {
  if (i >= argc) return {};
  return UnitRef{args[i].v.words[0], args[i].v.words[1]};
}

// Request 2007: a unit that does not exist or whose window is not loaded ends
// the program.
UnitObject* CheckedUnit(const UnitRef& r) {
  return reinterpret_cast<UnitObject*>(rt::RuntimeNotify(rt::req::kUnitObjectChecked, r.window, r.unit));
}

HWND CheckedHandle(int32_t argc, const rt::ValueRecord* args) {
  const UnitObject* o = CheckedUnit(RefOf(argc, args, 0));
  return o ? o->hwnd : nullptr;
}

}  // namespace

void LoadWindow(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  LoadWindowRequest request;
  request.window = RefOf(argc, args, 0).window;
  if (rt::args::Given(argc, args, 1)) {
    const UnitRef parent = RefOf(argc, args, 1);
    request.parent = reinterpret_cast<UnitObject*>(rt::RuntimeNotify(rt::req::kUnitObject, parent.window, 0));
    if (!request.parent) {
      rt::args::SetBool(result, false);
      return;
    }
  }
  request.modal = rt::args::Bool(argc, args, 2, false) ? 1 : 0;
  rt::args::SetBool(result, rt::RuntimeNotify(rt::req::kLoadWindow, reinterpret_cast<intptr_t>(&request), 0) == 0);
}

void UnloadWindow(rt::ValueRecord*, int32_t argc, rt::ValueRecord* args) {
  const UnitRef r = RefOf(argc, args, 0);
  CheckedUnit(r);
  UnloadUnit(r.window, r.unit, rt::args::Bool(argc, args, 1, false));
}

void GetUnitWindowHandle(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  // Window handles keep their meaning in 32 bits on both builds.
  rt::args::SetInt(result, static_cast<int32_t>(reinterpret_cast<intptr_t>(CheckedHandle(argc, args))));
}

void GetClientWidth(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  RECT r{};
  GetClientRect(CheckedHandle(argc, args), &r);
  rt::args::SetInt(result, r.right - r.left);
}

void GetClientHeight(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  RECT r{};
  GetClientRect(CheckedHandle(argc, args), &r);
  rt::args::SetInt(result, r.bottom - r.top);
}

void SetFocus(rt::ValueRecord*, int32_t argc, rt::ValueRecord* args) { ::SetFocus(CheckedHandle(argc, args)); }

void GetEventUnit(rt::ValueRecord* result, int32_t, rt::ValueRecord*) {
  uint32_t ref[2] = {0, 0};
  if (!rt::RuntimeNotify(rt::req::kEventUnit, reinterpret_cast<intptr_t>(ref), 0))
    rt::RuntimeNotify(rt::req::kReportError, reinterpret_cast<intptr_t>(gbk::EventUnitOutside), 0);
  const auto tag = static_cast<rt::TypeTag>(rt::RuntimeNotify(rt::req::kUnitTag, ref[0], ref[1]));
  *result = rt::UnitValue(tag, ref[0], ref[1]);
}

void RedirectUnitEvents(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  const UnitRef unit = RefOf(argc, args, 0);
  UnitRef target;
  if (rt::args::Given(argc, args, 1)) target = RefOf(argc, args, 1);
  rt::args::SetBool(result, ui::RedirectUnitEvents(unit.window, unit.unit, target.window, target.unit));
}

void ProcessEvents(rt::ValueRecord*, int32_t, rt::ValueRecord*) {
  rt::RuntimeNotify(rt::req::kProcessEvents, 0, 0);
}

// The characters the unit shows, whatever the system's code page is: the
// UTF-16 form of the text, as the unit draws it. The font is the window
// DC's own, as the question box's layout rules expect: they leave the label a
// sixth less than the measured width, which fits the text only because that
// font is wider than the label's. A text without an exact UTF-16 form is not
// shown either and measures nothing.
//
// On a display of another density the rules hold as they do at 96 DPI only
// when the measurement scales as the label's font does, and the system's
// font does not: its record keeps the average character width of the 96
// DPI font while its height follows the display, so that a text measures
// about as wide at 144 DPI as at 96 (Wine). The text is therefore measured
// in the system font of a 96 DPI display (the record with its height
// brought back) and the extent scaled to the unit's density. At 96 DPI that
// is the window DC's own font, measured as it always was.
void MeasureUnitText(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  SIZE size{0, 0};
  const UnitObject* unit = CheckedUnit(RefOf(argc, args, 0));
  const HWND hwnd = unit ? unit->hwnd : nullptr;
  const auto text = rt::win32::WideFromGbk(rt::args::Text(argc, args, 1));
  if (hwnd && text) {
    HDC dc = GetDC(hwnd);
    HFONT font96 = nullptr;
    const int32_t system_dpi = rt::win32::SystemDpi();
    if (system_dpi != kTemplateDpi) {
      LOGFONTW lf{};
      if (GetObjectW(GetStockObject(SYSTEM_FONT), sizeof lf, &lf)) {
        lf.lfHeight = ScaleBetweenDpi(lf.lfHeight, kTemplateDpi, system_dpi);
        font96 = CreateFontIndirectW(&lf);
      }
    }
    const HGDIOBJ old = font96 ? SelectObject(dc, font96) : nullptr;
    GetTextExtentPoint32W(dc, text->c_str(), static_cast<int>(text->size()), &size);
    if (old) SelectObject(dc, old);
    if (font96) DeleteObject(font96);
    ReleaseDC(hwnd, dc);
    size.cx = ScaleForDpi(size.cx, unit->dpi);
    size.cy = ScaleForDpi(size.cy, unit->dpi);
  }
  result->v.words[0] = static_cast<uint32_t>(size.cx);
  result->v.words[1] = static_cast<uint32_t>(size.cy);
}

void UnitDpi(rt::ValueRecord* result, int32_t argc, rt::ValueRecord* args) {
  const UnitObject* unit = CheckedUnit(RefOf(argc, args, 0));
  rt::args::SetInt(result, unit ? unit->dpi : kTemplateDpi);
}

}  // namespace ui::cmd
