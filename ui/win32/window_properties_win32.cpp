// Unit properties by number (services 4 and 5): the menu items' own four,
// the eight common properties kept in the unit records, and the kinds'
// properties passed to the kind converted by their value types, fonts by
// member; a kind that asks for it gets a new system window (re-creation).
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "gbk/runtime_texts.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/win32/dpi_win32.h"
#include "runtime/win32/runtime_app_win32.h"
#include "ui/template/dpi.h"
#include "ui/win32/window_internal.h"
#include "ui/win32/window_system.h"

namespace ui {
using namespace manager;
namespace {

constexpr int32_t kPositionLimit = 32627;

int32_t ClampPosition(int32_t v) { return std::clamp(v, -kPositionLimit, kPositionLimit); }
int32_t ClampSize(int32_t v) { return std::clamp(v, 0, kPositionLimit); }

// The parts of a written value: its low word as a number, or a pointer.
int32_t Low32(uint64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }
const void* PointerOf(uint64_t value) { return reinterpret_cast<const void*>(static_cast<uintptr_t>(value)); }
const char* TextOf(uint64_t value, const char* null_text) {
  const void* p = PointerOf(value);
  return p ? static_cast<const char*>(p) : null_text;
}

struct Located {
  WindowEntry* w;
  size_t i;
};

Located Locate(uint32_t window, uint32_t unit) {
  WindowEntry* w = FindWindowEntry(window);
  if (!w) rt::ReportRuntimeError(gbk::WindowNotLoadedForProperty, 0);
  const auto i = FindUnitIndex(*w, unit);
  // The program passes identifiers from its templates; anything else is the
  // missing-unit error rather than a silent no-op.
  if (!i) rt::ReportRuntimeError(gbk::UnitMissing, 0);
  return {w, *i};
}

// ---- Fonts ----

// Font records are kept in template pixels, as the templates give them: a
// size in points is converted at 96 DPI, and each unit scales the record for
// its display when it makes the font.
constexpr int32_t kPointsPerInch = 72;

const char kDefaultFace[] = "\xCB\xCE\xCC\xE5";  // the default face name (GBK)

void SetFace(LOGFONTA& lf, const char* face) {
  const size_t len = face ? std::strlen(face) : 0;
  std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
  if (len >= 1 && len <= 31) std::memcpy(lf.lfFaceName, face, len);
  else std::memcpy(lf.lfFaceName, kDefaultFace, sizeof kDefaultFace - 1);
}

LOGFONTA FontFromObject(const FontObject& f) {
  LOGFONTA lf{};
  lf.lfEscapement = lf.lfOrientation = f.angle;
  lf.lfWeight = f.bold ? FW_BOLD : 0;
  lf.lfItalic = f.italic ? 1 : 0;
  lf.lfUnderline = f.underline ? 1 : 0;
  lf.lfStrikeOut = f.strike_out ? 1 : 0;
  lf.lfHeight = -MulDiv(f.size, kTemplateDpi, kPointsPerInch);
  lf.lfCharSet = DEFAULT_CHARSET;
  char face[33] = {};
  std::memcpy(face, f.face, 32);
  SetFace(lf, face);
  return lf;
}

FontObject ObjectFromFont(const LOGFONTA& lf) {
  FontObject f;
  f.angle = lf.lfEscapement;
  f.bold = lf.lfWeight >= FW_BOLD ? 1 : 0;
  f.italic = lf.lfItalic ? 1 : 0;
  f.underline = lf.lfUnderline ? 1 : 0;
  f.strike_out = lf.lfStrikeOut ? 1 : 0;
  f.size = MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, kPointsPerInch, kTemplateDpi);
  std::memcpy(f.face, lf.lfFaceName, 31);
  return f;
}

LOGFONTA CurrentFont(const UnitKindDescriptor& desc, UnitObject& o, int32_t kind_property) {
  PropertyValue v;
  v.type = value_type::kFont;
  const auto read = desc.Routine<PropertyReadRoutine>(kRequestPropertyRead);
  if (read && read(o, kind_property, &v) && v.has_font) return v.font;
  // The system's font is made for the session's density: back to template pixels.
  LOGFONTA lf{};
  GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
  const int32_t system_dpi = rt::win32::SystemDpi();
  lf.lfHeight = ScaleBetweenDpi(lf.lfHeight, kTemplateDpi, system_dpi);
  lf.lfWidth = ScaleBetweenDpi(lf.lfWidth, kTemplateDpi, system_dpi);
  return lf;
}

// Reading a font property: one member, or the whole font as a new font object.
uint64_t FontMember(const LOGFONTA& lf, int32_t member) {
  const FontObject f = ObjectFromFont(lf);
  switch (member) {
    case prop::font_member::kAngle: return static_cast<uint32_t>(f.angle);
    case prop::font_member::kBold: return uint32_t(f.bold);
    case prop::font_member::kItalic: return uint32_t(f.italic);
    case prop::font_member::kUnderline: return uint32_t(f.underline);
    case prop::font_member::kStrikeOut: return uint32_t(f.strike_out);
    case prop::font_member::kSize: return static_cast<uint32_t>(f.size);
    case prop::font_member::kFace: return reinterpret_cast<uintptr_t>(rt::CopyText(f.face));
    default: {
      auto* block = static_cast<FontObject*>(rt::AllocMemory(sizeof(FontObject)));
      *block = f;
      return reinterpret_cast<uintptr_t>(block);
    }
  }
}

// Writing a font property: a whole font object (member < 0), or one member
// changed in the unit's current font. False for an unknown member.
bool WrittenFont(const UnitKindDescriptor& desc, UnitObject& o, int32_t kind_property, int32_t member, uint64_t value,
                 LOGFONTA* font) {
  const int32_t v32 = Low32(value);
  if (member < 0) {
    const void* ptr = PointerOf(value);
    *font = FontFromObject(ptr ? *static_cast<const FontObject*>(ptr) : FontObject{});
    return true;
  }
  *font = CurrentFont(desc, o, kind_property);
  switch (member) {
    case prop::font_member::kAngle: {
      int32_t a = v32 % 3600;
      if (a < 0) a += 3600;
      font->lfEscapement = font->lfOrientation = a;
      return true;
    }
    case prop::font_member::kBold: font->lfWeight = v32 ? FW_BOLD : 0; return true;
    case prop::font_member::kItalic: font->lfItalic = v32 ? 1 : 0; return true;
    case prop::font_member::kUnderline: font->lfUnderline = v32 ? 1 : 0; return true;
    case prop::font_member::kStrikeOut: font->lfStrikeOut = v32 ? 1 : 0; return true;
    case prop::font_member::kSize: font->lfHeight = -MulDiv(v32, kTemplateDpi, kPointsPerInch); return true;
    case prop::font_member::kFace: SetFace(*font, TextOf(value, nullptr)); return true;
    default: return false;
  }
}

// ---- Menu items ----

uint64_t GetMenuItemProperty(const WindowEntry& w, size_t i, int32_t property) {
  const auto m = w.live.MenuItem(i);
  if (!m) return 0;
  switch (property) {
    case prop::menu_item::kCaption:
      return reinterpret_cast<uintptr_t>(rt::CopyTextN(m->Caption().data(), int64_t(m->Caption().size())));
    case prop::menu_item::kChecked: return (m->MenuFlags() & menu_flag::Checked) ? 1 : 0;
    case prop::menu_item::kDisabled: return (m->MenuFlags() & menu_flag::Grayed) ? 1 : 0;
    case prop::menu_item::kVisible: return (m->MenuFlags() & menu_flag::Hidden) ? 0 : 1;
    default: return 0;
  }
}

void SetMenuItemProperty(WindowEntry& w, size_t i, int32_t property, uint64_t value) {
  const auto m = w.live.MenuItem(i);
  if (!m) return;
  const bool on = Low32(value) != 0;
  uint32_t flags = m->MenuFlags();
  const auto set = [&](uint32_t bit, bool to) { flags = to ? (flags | bit) : (flags & ~bit); };
  switch (property) {
    case prop::menu_item::kCaption: w.live.SetMenuCaption(i, TextOf(value, "")); return;
    case prop::menu_item::kChecked: set(menu_flag::Checked, on); break;
    case prop::menu_item::kDisabled: set(menu_flag::Grayed, on); break;
    case prop::menu_item::kVisible: set(menu_flag::Hidden, !on); break;
    default: return;
  }
  w.live.SetMenuFlags(i, flags);
}

// ---- Common properties ----

uint64_t GetCommonProperty(const WindowEntry& w, size_t i, int32_t property) {
  const auto rec = w.live.Unit(i);
  UnitObject* o = ObjectAt(w, i);
  const bool live = Alive(o);
  switch (property) {
    case prop::kLeft:
    case prop::kTop:
    case prop::kWidth:
    case prop::kHeight: {
      int32_t v = 0;
      if (live) {
        const RECT r = RectInParent(o->hwnd);
        v = property == prop::kLeft    ? r.left
            : property == prop::kTop   ? r.top
            : property == prop::kWidth ? r.right - r.left
                                       : r.bottom - r.top;
      } else {
        v = property == prop::kLeft    ? rec->Left()
            : property == prop::kTop   ? rec->Top()
            : property == prop::kWidth ? rec->Width()
                                       : rec->Height();
      }
      return static_cast<uint32_t>(v);
    }
    case prop::kTag: return reinterpret_cast<uintptr_t>(rt::CopyTextN(rec->Tag().data(), int64_t(rec->Tag().size())));
    case prop::kVisible: return live ? (IsWindowVisible(o->hwnd) ? 1 : 0) : (rec->Visible() ? 1 : 0);
    case prop::kDisabled: return live ? (IsWindowEnabled(o->hwnd) ? 0 : 1) : (rec->Disabled() ? 1 : 0);
    case prop::kMousePointer: {
      const ByteSpan data = rec->MousePointerData();
      const MousePointer mp = DecodeMousePointer(data);
      if (mp.type == MousePointer::Type::Number) {
        const Bytes b = EncodePointerNumber(ProgramPointerNumber(mp.number));
        return reinterpret_cast<uintptr_t>(rt::MakeByteSet(b.data(), int64_t(b.size())));
      }
      return reinterpret_cast<uintptr_t>(rt::MakeByteSet(data.data(), int64_t(data.size())));
    }
    default: return 0;
  }
}

// Left, Top, Width and Height: the record keeps the limited value; a loaded
// unit is moved with its size kept, or resized in its place.
void SetGeometry(WindowEntry& w, size_t i, int32_t property, int32_t written) {
  const bool position = property == prop::kLeft || property == prop::kTop;
  const int32_t v = position ? ClampPosition(written) : ClampSize(written);
  auto rec = w.live.MutableUnit(i);
  switch (property) {
    case prop::kLeft: rec->SetLeft(v); break;
    case prop::kTop: rec->SetTop(v); break;
    case prop::kWidth: rec->SetWidth(v); break;
    default: rec->SetHeight(v); break;
  }
  UnitObject* o = ObjectAt(w, i);
  if (!Alive(o)) return;
  const RECT r = RectInParent(o->hwnd);
  int32_t place[4] = {r.left, r.top, r.right - r.left, r.bottom - r.top};  // by property number
  place[property] = v;
  SetWindowPos(o->hwnd, nullptr, place[prop::kLeft], place[prop::kTop], place[prop::kWidth], place[prop::kHeight],
               (position ? SWP_NOSIZE : SWP_NOMOVE) | SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetVisible(WindowEntry& w, size_t i, bool on) {
  w.live.MutableUnit(i)->SetFlag(unit_flag::Visible, on);
  UnitObject* o = ObjectAt(w, i);
  if (!Alive(o)) return;
  if (!on) ShowWindow(o->hwnd, SW_HIDE);
  else if (i == 0) ShowWindowUnit(*o);
  else if (!(o->kind_flags & kind_flag::kNonVisual)) ShowWindow(o->hwnd, SW_SHOWNA);
}

void SetMousePointer(WindowEntry& w, size_t i, const void* byte_set) {
  const uint8_t* data = byte_set ? rt::ByteSetData(byte_set) : nullptr;
  const size_t len = byte_set ? size_t(std::max(0, rt::ByteSetLength(byte_set))) : 0;
  const ByteSpan bytes(data, data ? len : 0);
  const bool live = Alive(ObjectAt(w, i));
  CursorSlot* cursor = live ? BuildCursor(bytes) : nullptr;
  FreeCursor(w.live.Cursor(i));
  w.live.SetCursor(i, cursor);
  w.live.SetMousePointer(i, bytes);
  if (live) {
    // Setting the mouse position to itself makes the system ask for the cursor again.
    POINT p;
    if (GetCursorPos(&p)) SetCursorPos(p.x, p.y);
  }
}

void SetCommonProperty(WindowEntry& w, size_t i, int32_t property, uint64_t value) {
  switch (property) {
    case prop::kLeft:
    case prop::kTop:
    case prop::kWidth:
    case prop::kHeight: SetGeometry(w, i, property, Low32(value)); return;
    case prop::kTag: w.live.SetTag(i, TextOf(value, "")); return;
    case prop::kVisible: SetVisible(w, i, Low32(value) != 0); return;
    case prop::kDisabled: {
      const bool on = Low32(value) != 0;
      w.live.MutableUnit(i)->SetFlag(unit_flag::Disabled, on);
      if (UnitObject* o = ObjectAt(w, i); Alive(o)) EnableWindow(o->hwnd, on ? FALSE : TRUE);
      return;
    }
    case prop::kMousePointer: SetMousePointer(w, i, PointerOf(value)); return;
    default: return;
  }
}

// ---- Kind properties ----

void Recreate(WindowEntry& w, size_t i) {
  ManagerState& s = Manager();
  UnitObject* old = ObjectAt(w, i);
  const auto rec = w.live.Unit(i);
  const UnitKindDescriptor* desc = rec ? FindUnitKind(rec->Kind()) : nullptr;
  if (!old || !desc || i == 0) return;
  const auto save = desc->Routine<SavePropertiesRoutine>(kRequestSaveProperties);
  const auto create = desc->Routine<CreateRoutine>(kRequestCreate);
  Bytes data;
  if (!save || !create || !save(*old, &data)) return;

  const HWND old_hwnd = old->hwnd;
  const HWND focus = GetFocus();
  const RECT r = RectInParent(old_hwnd);
  const bool disabled = !IsWindowEnabled(old_hwnd);
  const bool visible = (GetWindowLongW(old_hwnd, GWL_STYLE) & WS_VISIBLE) != 0;
  const HWND parent = GetParent(old_hwnd);
  const HWND prev = GetWindow(old_hwnd, GW_HWNDPREV);
  const int32_t control_id = GetDlgCtrlID(old_hwnd);

  ++s.suppression;
  rt::win32::ProcessEvents();
  CreateParams p;
  p.kind_data = data;
  p.style = (disabled ? WS_DISABLED : 0) | (rec->TabStop() ? WS_TABSTOP : 0);
  p.parent = parent;
  p.control_id = control_id;
  p.SetBounds(r);
  p.dpi = old->dpi;
  p.window_id = w.id;
  p.unit_id = w.live.Key(i);
  p.flags = create_flag::kRecreating;
  UnitObject* fresh = create(p);
  if (fresh) {
    fresh->window_id = w.id;
    fresh->unit_id = w.live.Key(i);
    fresh->kind = rec->Kind();
    fresh->kind_flags = desc->flags;
    fresh->dpi = p.dpi;
    if (GetParent(fresh->hwnd) != parent) SetParent(fresh->hwnd, parent);
    if (desc->flags & kind_flag::kKeepsChildren) {
      std::vector<HWND> children;
      for (HWND c = GetWindow(old_hwnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
      for (HWND c : children) SetParent(c, fresh->hwnd);
    }
    w.live.SetObject(i, fresh);
    SetWindowPos(fresh->hwnd, prev ? prev : HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(fresh->hwnd, kMsgLoadingFinished, 0, 0);
    SendMessageW(fresh->hwnd, kMsgWindowReady, 0, 0);
    if ((desc->flags & kind_flag::kTellParentAfterRecreate) && parent) SendMessageW(parent, kMsgWindowTold, 0, 0);
    if (visible) ShowWindow(fresh->hwnd, SW_SHOWNA);
    s.recreating = true;
    DestroyWindow(old_hwnd);
    s.recreating = false;
    if (focus == old_hwnd) SetFocus(fresh->hwnd);
    else if (focus && IsWindow(focus) && GetFocus() != focus) SetFocus(focus);
  }
  rt::win32::ProcessEvents();
  --s.suppression;
}

// The kind's descriptor and the property's, for a kind property of a loaded
// unit; null when the kind has no such property. A window that is not
// loaded is a runtime error.
const PropertyDescriptor* KindPropertyOf(const WindowEntry& w, size_t i, int32_t property,
                                         const UnitKindDescriptor** desc) {
  const auto rec = w.live.Unit(i);
  *desc = FindUnitKind(rec->Kind());
  const PropertyDescriptor* pd = *desc ? (*desc)->Property(property) : nullptr;
  if (!pd) return nullptr;
  if (!Alive(ObjectAt(w, i))) rt::ReportRuntimeError(gbk::WindowNotLoaded, 0);
  return pd;
}

uint64_t GetKindProperty(const WindowEntry& w, size_t i, int32_t property, int32_t member) {
  const UnitKindDescriptor* desc = nullptr;
  const PropertyDescriptor* pd = KindPropertyOf(w, i, property, &desc);
  if (!pd) return 0;
  const auto read = desc->Routine<PropertyReadRoutine>(kRequestPropertyRead);
  if (!read) return 0;
  UnitObject& o = *ObjectAt(w, i);
  const int32_t kind_property = property - kFirstKindProperty;
  if (pd->type == value_type::kFont) return FontMember(CurrentFont(*desc, o, kind_property), member);
  PropertyValue v;
  v.type = pd->type;
  if (!read(o, kind_property, &v)) return 0;
  switch (value_type::FormOf(pd->type)) {
    case value_type::Form::Integer: return static_cast<uint32_t>(v.integer);
    case value_type::Form::Number: return v.number_bits;
    case value_type::Form::Text: return v.text && *v.text ? reinterpret_cast<uintptr_t>(rt::CopyText(v.text)) : 0;
    case value_type::Form::ByteSet:
      return v.data && v.length ? reinterpret_cast<uintptr_t>(rt::MakeByteSet(v.data, int64_t(v.length))) : 0;
    default: return 0;
  }
}

void SetKindProperty(WindowEntry& w, size_t i, int32_t property, int32_t member, uint64_t value) {
  const UnitKindDescriptor* desc = nullptr;
  const PropertyDescriptor* pd = KindPropertyOf(w, i, property, &desc);
  if (!pd) return;
  const auto written = desc->Routine<PropertyWrittenRoutine>(kRequestPropertyWritten);
  if (!written) return;
  UnitObject& o = *ObjectAt(w, i);
  const int32_t kind_property = property - kFirstKindProperty;
  const int32_t v32 = Low32(value);
  PropertyValue pv;
  pv.type = pd->type;
  switch (value_type::FormOf(pd->type)) {
    case value_type::Form::Integer:
      pv.integer = v32;
      if (pd->type == value_type::kLogical) pv.integer = v32 != 0 ? 1 : 0;
      if (pd->type == value_type::kChoice && v32 < 0) pv.integer = 0;
      break;
    case value_type::Form::Number: pv.number_bits = value; break;
    case value_type::Form::Text: pv.text = TextOf(value, ""); break;
    case value_type::Form::ByteSet:
      if (const void* ptr = PointerOf(value); ptr && rt::ByteSetLength(ptr) > 0) {
        pv.data = rt::ByteSetData(ptr);
        pv.length = size_t(rt::ByteSetLength(ptr));
      }
      break;
    case value_type::Form::Font:
      pv.has_font = true;
      if (!WrittenFont(*desc, o, kind_property, member, value, &pv.font)) return;
      break;
    default: return;
  }
  if (written(o, kind_property, pv) && Alive(ObjectAt(w, i)) && !(desc->flags & kind_flag::kNeverRecreated))
    Recreate(w, i);
}

}  // namespace

uint64_t GetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member) {
  const Located at = Locate(window, unit);
  if (at.w->live.IsMenuItem(at.i)) return GetMenuItemProperty(*at.w, at.i, property);
  if (!at.w->live.Unit(at.i)) return 0;
  if (property >= 0 && property < kFirstKindProperty) return GetCommonProperty(*at.w, at.i, property);
  return GetKindProperty(*at.w, at.i, property, member);
}

void SetUnitProperty(uint32_t window, uint32_t unit, int32_t property, int32_t member, uint64_t value) {
  const Located at = Locate(window, unit);
  if (at.w->live.IsMenuItem(at.i)) return SetMenuItemProperty(*at.w, at.i, property, value);
  if (!at.w->live.Unit(at.i)) return;
  if (property >= 0 && property < kFirstKindProperty) return SetCommonProperty(*at.w, at.i, property, value);
  SetKindProperty(*at.w, at.i, property, member, value);
}

}  // namespace ui
