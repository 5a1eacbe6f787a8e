// The plumbing every unit kind of this library shares: its property table
// as data (value type, how a written number is limited, whether a write
// re-creates the unit), the conversions of written and read values, and the
// two ways a unit object is tied to its system window: a window class of our
// own (the object found through the window's user data) or a system control
// subclassed so that the object sees its messages.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>

#include "ui/template/kinddata.h"
#include "ui/win32/unit_kind.h"

namespace ui::units {

// How a written number is stored.
struct NumberRule {
  int32_t lo = INT32_MIN;
  int32_t hi = INT32_MAX;
  constexpr int32_t Apply(int32_t v) const { return v < lo ? lo : v > hi ? hi : v; }
};
constexpr NumberRule kAnyNumber{};
constexpr NumberRule kNotNegative{0, INT32_MAX};
constexpr NumberRule Range(int32_t lo, int32_t hi) { return NumberRule{lo, hi}; }

enum class Recreate : uint8_t {
  kNever,     // the live unit shows the change
  kOnChange,  // a new system window is needed when the value changes
  kAlways,    // every write needs a new system window
};

// One kind property: its number (from the kind's list in
// ui/template/kind_numbers.h), its value type, how a written number is
// limited, and whether a write needs a new system window. A kind's table
// lists them in number order: static_assert(InNumberOrder(kTable)).
struct PropertyEntry {
  int32_t number;
  uint16_t type;
  NumberRule rule = kAnyNumber;
  Recreate recreate = Recreate::kNever;
};

// Limits a written number by the property's rule.
template <size_t N>
int32_t RuledNumber(const std::array<PropertyEntry, N>& table, int32_t kind_property, int32_t value) {
  return table[static_cast<size_t>(kind_property)].rule.Apply(value);
}

// Whether a write of a value that did (or did not) change needs a new window.
template <size_t N>
bool NeedsRecreate(const std::array<PropertyEntry, N>& table, int32_t kind_property, bool changed) {
  switch (table[static_cast<size_t>(kind_property)].recreate) {
    case Recreate::kAlways: return true;
    case Recreate::kOnChange: return changed;
    default: return false;
  }
}

template <size_t N>
constexpr bool KnownProperty(const std::array<PropertyEntry, N>& table, int32_t kind_property) {
  return kind_property >= 0 && static_cast<size_t>(kind_property) < N;
}

// ---- Values ----

inline std::string TextOf(const PropertyValue& v) { return v.text ? std::string(v.text) : std::string(); }
inline Bytes BytesOf(const PropertyValue& v) { return v.data ? Bytes(v.data, v.data + v.length) : Bytes(); }
std::optional<LogFont> FontOf(const PropertyValue& v);

inline bool ReadNumber(PropertyValue* out, int32_t n) {
  out->integer = n;
  return true;
}
inline bool ReadText(PropertyValue* out, const std::string& s) {
  out->text = s.c_str();
  return true;
}
inline bool ReadBytes(PropertyValue* out, const Bytes& b) {
  out->data = b.empty() ? nullptr : b.data();
  out->length = b.size();
  return true;
}
// A unit without a font of its own reports none: the window system then
// takes the system's default GUI font.
bool ReadFont(PropertyValue* out, const std::optional<LogFont>& font);

// ---- Unit objects and their system windows ----

// A unit object whose system window is of a class of ours: CreateUnitWindow
// passes the object to WM_NCCREATE, which keeps it in the window's user data.
template <class Unit>
Unit* UnitFromWindow(HWND hwnd) {
  return reinterpret_cast<Unit*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}
// For window procedures of our own classes: binds the object at
// WM_NCCREATE and returns it for every later message (null before).
UnitObject* BindUnit(HWND hwnd, UINT msg, LPARAM lp);

// Fills the object's identifiers and creates its system window as a child
// of params.parent. Returns false (and leaves no window) on failure.
bool CreateUnitWindow(UnitObject& unit, const CreateParams& params, uint32_t kind_tag, DWORD ex_style,
                      const wchar_t* class_name, const wchar_t* text, DWORD style);

// System controls (BUTTON, EDIT, the progress control): the object sees the
// control's messages through a subclass procedure; `handler` returns true
// when it answered a message itself.
using ControlHandler = bool (*)(UnitObject& unit, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result);
void SubclassControl(UnitObject& unit, ControlHandler handler);

// The end of every unit: tell the window system, then free the object.
void FinishUnit(UnitObject* unit);

}  // namespace ui::units
