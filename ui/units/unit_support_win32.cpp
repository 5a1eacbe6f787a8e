#include "ui/units/unit_support_win32.h"

#include <commctrl.h>

#include <cstring>

namespace ui::units {

std::optional<LogFont> FontOf(const PropertyValue& v) {
  static_assert(sizeof(LOGFONTA) == LogFont::kSize, "a logical font record is 60 bytes");
  return LogFont::Decode(ByteSpan(reinterpret_cast<const uint8_t*>(&v.font), sizeof v.font));
}

bool ReadFont(PropertyValue* out, const std::optional<LogFont>& font) {
  if (!font) {
    out->has_font = false;
    return false;
  }
  const Bytes b = font->Encode();
  std::memcpy(&out->font, b.data(), sizeof out->font);
  out->has_font = true;
  return true;
}

UnitObject* BindUnit(HWND hwnd, UINT msg, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* unit = static_cast<UnitObject*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    if (unit) unit->hwnd = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(unit));
    return unit;
  }
  return reinterpret_cast<UnitObject*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

bool CreateUnitWindow(UnitObject& unit, const CreateParams& params, uint32_t kind_tag, DWORD ex_style,
                      const wchar_t* class_name, const wchar_t* text, DWORD style) {
  unit.window_id = params.window_id;
  unit.unit_id = params.unit_id;
  unit.kind = kind_tag;
  unit.dpi = params.dpi;
  // Units are created hidden; the window system shows them after loading.
  style = (style | params.style | WS_CHILD) & ~static_cast<DWORD>(WS_VISIBLE);
  HWND hwnd = CreateWindowExW(ex_style, class_name, text, style, params.left, params.top, params.width,
                              params.height, params.parent,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(params.control_id)),
                              GetModuleHandleW(nullptr), &unit);
  if (!hwnd) return false;
  unit.hwnd = hwnd;
  return true;
}

namespace {

LRESULT CALLBACK ControlSubclassProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
  auto* unit = reinterpret_cast<UnitObject*>(data);
  auto handler = reinterpret_cast<ControlHandler>(id);
  if (msg == WM_NCDESTROY) {
    RemoveWindowSubclass(hwnd, ControlSubclassProc, id);
    const LRESULT r = DefSubclassProc(hwnd, msg, wp, lp);
    FinishUnit(unit);
    return r;
  }
  LRESULT result = 0;
  if (handler(*unit, hwnd, msg, wp, lp, &result)) return result;
  return DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace

void SubclassControl(UnitObject& unit, ControlHandler handler) {
  SetWindowSubclass(unit.hwnd, ControlSubclassProc, reinterpret_cast<UINT_PTR>(handler),
                    reinterpret_cast<DWORD_PTR>(&unit));
}

void FinishUnit(UnitObject* unit) {
  if (!unit) return;
  ReportUnitDestroyed(*unit);
  delete unit;
}

}  // namespace ui::units
